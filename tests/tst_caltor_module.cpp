// The Caltor page's network-module update against the simulated unit: the boot menu reached
// through its keys (attempt limits), the dialogue, a real tftp-hpa client fetching from the
// page's TFTP server, prompt and transfer failures with their reports and clean-up.
#include "caltorfixture.h"
#include "plexatest.h"
#include "removabledrives.h"
#include "timescale.h"

#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTimer>

class TestCaltorModule : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SerialPortLister::setSystemPortsListed(false); }

    // The whole network-module update from the package entry: 57600 baud for the boot console,
    // the dialogue, a real tftp-hpa client fetching from the page's server, the flashing wait,
    // and the unit's rate restored. Another host (curl from 127.0.0.2) that asks the page's
    // server for the image while the user power-cycles the unit, long before the module asks,
    // gets nothing, and the module (at 127.0.0.1) still gets the whole image.
    void tcpModuleUpdate_data()
    {
        QTest::addColumn<bool>("stranger");
        QTest::newRow("the unit alone") << false;
        QTest::newRow("another host asks first") << true;
    }
    void tcpModuleUpdate()
    {
        QFETCH(bool, stranger);
        // The boot console's key window and the tftp client's start are wall-clock races with
        // the simulated unit; on a busy machine 0.02 leaves them a few milliseconds.
        const double factor = TimeScale::factor();
        TimeScale::setFactor(qMax(factor, 0.1));
        const auto restore = qScopeGuard([factor] { TimeScale::setFactor(factor); });
        Fixture f;
        const QByteArray image = sampleImage(40 * 512 + 77);
        f.package({{QStringLiteral("KAVRELL_2.1.bin"), image}});
        f.page->ipAddress = QStringLiteral("127.0.0.1");
        f.unit.setBaudCode(5);
        QScopedPointer<QProcess> strangerClient;
        const QString strangerFile = f.dir.filePath(QStringLiteral("stranger.bin"));
        const auto answer = f.dialogs.answer;
        f.dialogs.answer = [&](const QString& title, const QString& text) -> QVariant {
            if (stranger && !strangerClient && title == QLatin1String("Restart Device")) {
                strangerClient.reset(startTftpClient(QStringLiteral("curl"), QStringLiteral("127.0.0.1"),
                                                     f.page->tftpListenPort, QStringLiteral("KAVRELL_2.1.bin"),
                                                     strangerFile, nullptr, QStringLiteral("127.0.0.2")));
                strangerClient->waitForStarted();
                QTest::qWait(300); // its request is in before the boot menu starts
            }
            return answer(title, text);
        };
        f.page->initiateCALTORFirmwareUpdate();
        if (strangerClient) {
            QVERIFY(!QFileInfo::exists(strangerFile) || QFileInfo(strangerFile).size() == 0);
            strangerClient->kill();
            strangerClient->waitForFinished();
        }

        QCOMPARE(f.unit.fetchedImage(), image);
        QCOMPARE(f.unit.typedModuleAddress(), QStringLiteral("127.0.0.1"));
        QCOMPARE(f.unit.typedServerAddress(), QStringLiteral("127.0.0.1"));
        QCOMPARE(f.unit.typedFileName(), QStringLiteral("KAVRELL_2.1.bin"));
        QCOMPARE(f.unit.bootAttempts(), 1);
        QCOMPARE(f.dialogs.titles(),
                 QStringList({"Serial Port connection", "Restart Device", "Restart Device", "Update Complete"}));
        QCOMPARE(f.ui.updateBar_2->value(), 100);
        QCOMPARE(f.ui.updateBarNumber_2->text(), QStringLiteral("100%"));
        QVERIFY(f.statusShown(QStringLiteral("Updating TCP module...")));
        QVERIFY(f.unit.commands().contains(QStringLiteral("#SET_RS232_BAUD 2")));
        QCOMPARE(f.unit.commands().last(), QStringLiteral("#SET_RS232_BAUD 5"));
        QTRY_COMPARE(f.unit.baudCode(), 5);
    }

    // The unit vanishes when told to switch to the boot console's 57600 baud: the page says
    // the unit is lost instead of ending with the baud search still in the status bar.
    void unitLostAtBaudSwitch()
    {
        // The baud search's answer window, as in the update above.
        const double factor = TimeScale::factor();
        TimeScale::setFactor(qMax(factor, 0.1));
        const auto restore = qScopeGuard([factor] { TimeScale::setFactor(factor); });
        Fixture f;
        f.package({{QStringLiteral("KAVRELL.bin"), sampleImage(600)}});
        f.page->ipAddress = QStringLiteral("127.0.0.1");
        f.unit.setBaudCode(5);
        f.unit.setVanishOnCommand(QStringLiteral("#SET_RS232_BAUD 2"));
        f.page->initiateCALTORFirmwareUpdate();
        QVERIFY(f.unit.commands().contains(QStringLiteral("#SET_RS232_BAUD 2")));
        QVERIFY(f.dialogs.wasShown(QStringLiteral("Either Device is not connected or wrong Com-Port is selected.")));
        QCOMPARE(f.ui.statusBar->currentMessage(), QStringLiteral("Update Failed!!"));
        QVERIFY(!f.dialogs.titles().contains(QStringLiteral("Restart Device")));
    }

    // Boot keys: the hint after ten silent attempts, the end after twenty.
    void bootAttempts_data()
    {
        QTest::addColumn<int>("ignored");
        QTest::addColumn<bool>("hint");
        QTest::addColumn<bool>("reached");
        QTest::newRow("first attempt") << 0 << false << true;
        QTest::newRow("after the hint") << 12 << true << true;
        QTest::newRow("never") << -1 << true << false;
    }
    void bootAttempts()
    {
        QFETCH(int, ignored);
        QFETCH(bool, hint);
        QFETCH(bool, reached);
        Fixture f;
        f.linkAt57600(2);
        f.unit.setBootAttemptsIgnored(ignored);
        f.unit.setFault(CaltorSim::Fault::ArpTimeout); // ends the run right after the dialogue
        f.page->tcpFirmwareFile = QFileInfo(f.package({{QStringLiteral("KAVRELL.bin"), "x"}}) + "/KAVRELL.bin");
        f.page->initiate_TCP_FirmwareUpdate(f.page->tcpFirmwareFile);
        QCOMPARE(f.dialogs.textOf(QStringLiteral("Boot Mode Failure")).contains(QLatin1String("restarting")), hint);
        QCOMPARE(f.dialogs.titles().count(QStringLiteral("Boot Mode Failure")), (hint ? 1 : 0) + (reached ? 0 : 1));
        QCOMPARE(f.unit.bootAttempts(), reached ? ignored + 1 : 20);
        QCOMPARE(f.dialogs.wasShown(QStringLiteral("Unable to access boot mode. Quiting..")), !reached);
        QCOMPARE(f.unit.typedFileName().isEmpty(), !reached);
        QVERIFY(!f.page->serial()->isOpen());
        QCOMPARE(f.ui.updateBarNumber_2->text(), QStringLiteral("0%"));
    }

    // Failures in the dialogue and the transfer, each with its report; the page is reset.
    void moduleFailures_data()
    {
        QTest::addColumn<QByteArray>("silentPrompt");
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("abortAnswered");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("aborts");
        QTest::newRow("no Warning!!") << QByteArray("Warning!!") << 0 << true << "Update Failed!!"
                                      << "Please try restarting." << 0;
        QTest::newRow("no Input") << QByteArray("Input") << 0 << true << "Update Failed!!" << "Please try restarting."
                                  << 0;
        QTest::newRow("ArpTimeoutCheck") << QByteArray() << int(CaltorSim::Fault::ArpTimeout) << true << ""
                                         << "TFTP connection failed.\nPlease reconnect device and try again." << 1;
        QTest::newRow("is not block 1 twice") << QByteArray() << int(CaltorSim::Fault::NotBlockOneTwice) << true
                                              << "Update Failed! Illegal block" << "" << 1;
        QTest::newRow("no done") << QByteArray() << int(CaltorSim::Fault::NoDone) << true << "Update Failed!!" << ""
                                 << 1;
        QTest::newRow("abort unanswered") << QByteArray() << int(CaltorSim::Fault::NoDone) << false
                                          << "Update Abort Failed!!" << "" << 1;
    }
    void moduleFailures()
    {
        QFETCH(QByteArray, silentPrompt);
        QFETCH(int, fault);
        QFETCH(bool, abortAnswered);
        QFETCH(QString, status);
        QFETCH(QString, box);
        QFETCH(int, aborts);
        Fixture f;
        f.linkAt57600(1);
        f.unit.setSilentPrompt(silentPrompt);
        f.unit.setFault(CaltorSim::Fault(fault));
        f.unit.setAbortAnswered(abortAnswered);
        // The second "is not block 1" must come while blocks still go out (some 1000 of them). The
        // unit's own report follows the first after a fixed time that a loaded machine may reach
        // only after the last block; here it comes as soon as the page has restarted the transfer.
        QTimer secondReport;
        if (CaltorSim::Fault(fault) == CaltorSim::Fault::NotBlockOneTwice) {
            f.unit.setFault(CaltorSim::Fault::NotBlockOne);
            bool firstSeen = false;
            secondReport.setInterval(1);
            QObject::connect(&secondReport, &QTimer::timeout, [&f, &secondReport, firstSeen]() mutable {
                const bool reported = f.page->serialText().contains(QLatin1String("is not block 1"));
                if (reported) {
                    firstSeen = true;
                } else if (firstSeen) { // taken in: the transfer started again from block 1
                    secondReport.stop();
                    f.unit.push("Received block 3 is not block 1, starting again\r\n");
                }
            });
            secondReport.start();
        }
        const QString path = f.package({{QStringLiteral("KAVRELL.bin"), sampleImage(1000 * 512)}}) + "/KAVRELL.bin";
        f.page->initiate_TCP_FirmwareUpdate(QFileInfo(path));
        if (!status.isEmpty())
            QVERIFY2(f.statusShown(status), qPrintable(f.statusLog.join(" | ") + " console: " + f.page->serialText()));
        if (!box.isEmpty())
            QVERIFY(f.dialogs.wasShown(box));
        QVERIFY(!f.dialogs.wasShown(QStringLiteral("Device Updated Successfully!!")));
        QCOMPARE(f.unit.aborts(), aborts);
        QVERIFY(!f.page->serial()->isOpen());
        QCOMPARE(f.ui.updateBar_2->value(), 0);
        QVERIFY(f.ui.statusBar->currentMessage().isEmpty() || !abortAnswered);
    }

    // A first "is not block 1" starts the transfer again from block 1; the image still arrives.
    void restartAfterNotBlockOne()
    {
        Fixture f;
        f.linkAt57600(1);
        f.unit.setFault(CaltorSim::Fault::NotBlockOne);
        const QByteArray image = sampleImage(20 * 512);
        const QString path = f.package({{QStringLiteral("KAVRELL.bin"), image}}) + "/KAVRELL.bin";
        f.page->initiate_TCP_FirmwareUpdate(QFileInfo(path));
        QVERIFY(f.dialogs.wasShown(QStringLiteral("Device Updated Successfully!!")));
        QCOMPARE(f.unit.fetchedImage(), image);
    }

};

PLEXA_TEST_MAIN(TestCaltorModule)
#include "tst_caltor_module.moc"
