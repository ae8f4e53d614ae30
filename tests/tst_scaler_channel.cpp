// The scaler controller's links and command channel against simulated units: the bytes each
// sender puts on the wire per family, the prompt and time-out rules, the availability state
// between exchanges, the rate probe of the Jovaris family, TCP replies in segments, and product
// selection of a generic scaler (its link rate, the boot-loader check, its page widgets' commands).
#include "plexatest.h"
#include "formtestutil.h"
#include "scalerfixture.h"
#include "constants.h"
#include "jovarissim.h"
#include "mainwin.h"
#include "recordingcontrollers.h"
#include "mybuttongroup.h"
#include "scaler.h"
#include "scalersim.h"
#include "scripteddialogs.h"
#include "serialports.h"
#include "simdevice.h"
#include "timescale.h"
#include "timingpreset.h"
#include "ui_mainui.h"
#include "zarricksim.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace {

// A unit that answers every line with `reply`.
std::unique_ptr<SimDevice> answeringUnit(const QByteArray& reply, const QByteArray& terminator = "\r")
{
    auto sim = std::make_unique<SimDevice>();
    sim->setTerminator(terminator);
    sim->addRule(SimRule::any().reply(reply));
    return sim;
}

} // namespace

class TestScalerChannel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SerialPortLister::setSystemPortsListed(false);
        // Real time: the senders' waits (300 ms for the family sender's first byte, 500 ms for a
        // generic command) are all a simulated unit gets to answer across its thread and a pty,
        // and scaled down they are missed under the sanitizers on a fully loaded machine.
        TimeScale::setFactor(1.0);
    }

    // What each sender writes, per family and argument pattern.
    void wireBytesPerFamily_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("sender"); // generic, family, tcp
        QTest::addColumn<QString>("cmd");
        QTest::addColumn<QString>("p1");
        QTest::addColumn<QString>("p2");
        QTest::addColumn<QString>("edidSource");
        QTest::addColumn<QByteArray>("wire");

        const QString dvi = NAME_SCALER_VGA_TO_DVI;
        QTest::newRow("generic word alone") << dvi << "generic" << "#GET_OUTPUT_RES" << "" << "" << "" << QByteArray("#GET_OUTPUT_RES\r");
        QTest::newRow("generic one argument") << dvi << "generic" << "#SET_CONTRAST" << "55" << "" << "" << QByteArray("#SET_CONTRAST 55\r");
        QTest::newRow("generic second argument alone") << dvi << "generic" << "#SET_X" << "" << "1" << "" << QByteArray("#SET_X 1\r");
        QTest::newRow("generic two arguments") << dvi << "generic" << "#SET_COLOR_BALANCE 0" << "40" << "" << "" << QByteArray("#SET_COLOR_BALANCE 0 40\r");
        QTest::newRow("generic both") << dvi << "generic" << "#SET_X" << "1" << "2" << "" << QByteArray("#SET_X 1 2\r");
        QTest::newRow("EDID mode HDMI input") << NAME_SCALER_HDMI_VGA_TO_3GSDI << "generic" << "#SET_EDID_MODE" << "2" << "7"
                                              << "Scaler: HDMI EDID" << QByteArray("#SET_EDID_MODE 2 1\r");
        QTest::newRow("EDID mode VGA input") << NAME_SCALER_HDMI_VGA_TO_3GSDI << "generic" << "#SET_EDID_MODE" << "2" << ""
                                             << "Scaler: VGA EDID" << QByteArray("#SET_EDID_MODE 2 0\r");
        QTest::newRow("EDID mode local") << dvi << "generic" << "#SET_EDID_MODE" << "1" << "" << "Scaler: Local EDID"
                                         << QByteArray("#SET_EDID_MODE 1\r");
        QTest::newRow("generic on a Jovaris") << "Jovaris Transmitter" << "generic" << "#GET_VOL" << "" << "" << ""
                                              << QByteArray("#GET_VOL\r\n");
        QTest::newRow("family upper-cased") << "Jovaris Transmitter" << "family" << "#send_custom_edid" << "" << ""
                                            << "" << QByteArray("#SEND_CUSTOM_EDID\r\n");
        QTest::newRow("family Norrith") << "Norrith Extender" << "family" << "#set_vol" << "5" << "" << ""
                                        << QByteArray("#SET_VOL 5\r\n");
        const QString data(98, QLatin1Char('a'));
        QTest::newRow("family 100 characters as built") << "Surrow Transmitter" << "family" << "#x" << data.left(96) << "" << ""
                                                        << QByteArray("#x " + data.left(96).toLatin1() + "\r");
        QTest::newRow("tcp with argument") << "Zarrick" << "tcp" << "#GET_EDID_MODE" << "0" << "" << ""
                                           << QByteArray("#GET_EDID_MODE 0\n\r");
        QTest::newRow("tcp word alone") << "Cavrosh" << "tcp" << "#GET_EDID_LOCK" << "" << "" << ""
                                        << QByteArray("#GET_EDID_LOCK\n\r");
    }

    void wireBytesPerFamily()
    {
        QFETCH(QString, product);
        QFETCH(QString, sender);
        QFETCH(QString, cmd);
        QFETCH(QString, p1);
        QFETCH(QString, p2);
        QFETCH(QString, edidSource);
        QFETCH(QByteArray, wire);

        ScalerFixture f;
        auto sim = answeringUnit("OK\r\n>", sender == "tcp" ? "\n\r" : "\r");
        if (sender == "tcp") {
            QVERIFY(sim->startTcp());
            f.selectProductText(product);
            f.scaler->ipAddress = QStringLiteral("127.0.0.1");
            f.scaler->tcpPort = sim->tcpPort();
            f.scaler->TCPConnect();
            f.scaler->sendTCPCommand(cmd, p1);
            QCOMPARE(f.scaler->TCPreadLine(), QStringList{QStringLiteral("OK")});
        } else {
            QVERIFY(sim->startPty());
            if (Scaler::familyOfProduct(product) == Scaler::Family::GenericScaler) {
                f.pickGeneric(sim->portName(), product);
            } else {
                f.selectProductText(product);
                f.scaler->serialPortName = sim->portName();
                f.scaler->baudRateText = QStringLiteral("9600");
            }
            if (!edidSource.isEmpty()) {
                f.ui.selectEDIDFromDevice->addItem(edidSource);
                f.ui.selectEDIDFromDevice->setCurrentText(edidSource);
            }
            if (sender == "generic")
                f.scaler->sendCommand(cmd, p1, p2, 0);
            else
                f.scaler->sendCommand(cmd, p1, p2, 500, true, true);
            QVERIFY(f.scaler->replyText.contains(QLatin1String("OK")));
        }
        QTRY_COMPARE(sim->received(), wire);
    }

    // A reply's prompt ends the wait; the text without ">" reaches the status bar through
    // showResult, a rejection is a failure, and silence is "No response from unit", not success.
    void genericReplyReachesStatusBar_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("error");
        QTest::addColumn<QString>("replyText");
        QTest::newRow("value") << QByteArray("CONTRAST IS 55\r\n>") << "CONTRAST IS 55" << false << "CONTRAST IS 55";
        QTest::newRow("wrong") << QByteArray("Wrong Parameter\r\n>") << "Command failed." << true << "Wrong Parameter";
        QTest::newRow("prompt alone") << QByteArray(">") << "" << false << "";
        QTest::newRow("no prompt") << QByteArray("CONTRAST IS") << "No response from unit" << true << "CONTRAST IS";
    }

    void genericReplyReachesStatusBar()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, status);
        QFETCH(bool, error);
        QFETCH(QString, replyText);
        ScalerFixture f;
        auto sim = answeringUnit(reply);
        QVERIFY(sim->startPty());
        f.pickGeneric(sim->portName());
        // handleCommand takes every receiver off commandComplete() before it connects its own
        // follow-up, so the spy goes on afterwards; the signal comes 50 ms after the exchange.
        f.scaler->handleCommand(QStringLiteral("#SET_CONTRAST"), QStringLiteral("55"));
        QSignalSpy complete(f.scaler.get(), SIGNAL(commandComplete()));
        QTRY_COMPARE(complete.count(), 1);
        QCOMPARE(f.scaler->replyText, replyText);
        QCOMPARE(f.status(), status);
        if (!status.isEmpty())
            QCOMPARE(f.statusIsError(), error);
        QCOMPARE(f.scaler->availability, int(Scaler::AVAILABLE));
        // The generic sender leaves the port open, at the command rate.
        QVERIFY(f.scaler->serialPort->isOpen());
        QCOMPARE(sim->serialSettings().baudRate, ScalerSim::CommandRate);
    }

    // While an exchange holds the link, a second one started from a slot that runs inside the
    // first one's wait writes nothing: it waits for the link, which cannot come free beneath it,
    // and gives up with "Command Failed." (a lock would hang here). The first exchange keeps its
    // reply; the next send after it goes through.
    void availabilityKeepsExchangesApart()
    {
        ScalerFixture f;
        auto sim = std::make_unique<SimDevice>();
        sim->addRule(SimRule::exact("#GET_A").reply("A IS 1\r\n>").after(300));
        sim->addRule(SimRule::exact("#GET_B").reply("B IS 2\r\n>"));
        QVERIFY(sim->startPty());
        f.pickGeneric(sim->portName());

        bool innerRan = false;
        QByteArray receivedDuringInner;
        QTimer::singleShot(TimeScale::ms(100), [&] {
            QCOMPARE(f.scaler->availability, int(Scaler::OCCUPIED));
            f.scaler->sendCommand(QStringLiteral("#GET_B"), QString(), QString(), 500);
            receivedDuringInner = sim->received();
            innerRan = true;
        });
        f.scaler->sendCommand(QStringLiteral("#GET_A"), QString(), QString(), 1000);
        QVERIFY(innerRan);
        QCOMPARE(receivedDuringInner, QByteArray("#GET_A\r"));
        QCOMPARE(f.status(), QStringLiteral("Command Failed."));
        QCOMPARE(f.scaler->replyText, QStringLiteral("A IS 1"));
        QCOMPARE(f.scaler->availability, int(Scaler::AVAILABLE));
        f.scaler->sendCommand(QStringLiteral("#GET_B"), QString(), QString(), 500);
        QCOMPARE(f.scaler->replyText, QStringLiteral("B IS 2"));
        QCOMPARE(sim->requests(), (QStringList{QStringLiteral("#GET_A"), QStringLiteral("#GET_B")}));

        // Never free: "Command Failed.", nothing written, no follow-up.
        QTest::qWait(TimeScale::ms(200)); // the follow-ups of the sends above
        sim->clearLog();
        QSignalSpy complete(f.scaler.get(), SIGNAL(commandComplete()));
        f.scaler->availability = Scaler::UPLOADING;
        f.scaler->sendCommand(QStringLiteral("#GET_A"), QString(), QString(), 500);
        QCOMPARE(f.status(), QStringLiteral("Command Failed."));
        QVERIFY(f.statusIsError());
        QVERIFY(f.ui.uploadButton->isEnabled());
        QTest::qWait(TimeScale::ms(200));
        QCOMPARE(complete.count(), 0);
        QVERIFY(sim->received().isEmpty());
        // Nor does the family sender write over an upload.
        f.scaler->sendCommand(QStringLiteral("#GET_A"), QString(), QString(), 500, true, true);
        QVERIFY(sim->received().isEmpty());
    }

    // A reply that comes after its wait is not taken for the next command's.
    void lateReplyIsNotTakenForTheNextCommand()
    {
        ScalerFixture f;
        auto sim = std::make_unique<SimDevice>();
        sim->addRule(SimRule::exact("#GET_A").reply("A IS 1\r\n>").after(900));
        sim->addRule(SimRule::exact("#GET_B").reply("B IS 2\r\n>").after(400));
        QVERIFY(sim->startPty());
        f.pickGeneric(sim->portName());
        f.scaler->sendCommand(QStringLiteral("#GET_A"), QString(), QString(), 500);
        QVERIFY(f.scaler->lastExchangeTimedOut);
        QTest::qWait(TimeScale::ms(600)); // A's answer arrives meanwhile
        f.scaler->sendCommand(QStringLiteral("#GET_B"), QString(), QString(), 1000);
        QCOMPARE(f.scaler->replyText, QStringLiteral("B IS 2"));
        QVERIFY(!f.scaler->lastExchangeTimedOut);
    }

    // A slow scaler answers the contrast query after the wait; the brightness set that follows at
    // once gets its own answer, not the contrast line, and the one after it is not slowed down.
    void lateReplyStillComingIsDropped()
    {
        ScalerFixture f;
        ScalerSim sim(ScalerSim::Model::Dvi);
        QVERIFY(sim.start());
        f.pickGeneric(sim.portName());
        sim.setAnswerDelay(800);
        f.scaler->sendCommand(QStringLiteral("#GET_CONTRAST"), QString(), QString(), 500);
        QVERIFY(f.scaler->lastExchangeTimedOut);
        QVERIFY(sim.waitForRequest("#GET_CONTRAST"));
        sim.setAnswerDelay(0);
        f.scaler->sendCommand(QStringLiteral("#SET_BRIGHTNESS"), QStringLiteral("33"), QString(), 500);
        QVERIFY(!f.scaler->lastExchangeTimedOut);
        QCOMPARE(f.scaler->replyText, QStringLiteral("PICTURE BRIGHTNESS IS 33"));
        QCOMPARE(sim.setting("BRIGHTNESS"), QStringLiteral("33"));

        QElapsedTimer clock;
        clock.start();
        f.scaler->sendCommand(QStringLiteral("#GET_HUE"), QString(), QString(), 500);
        QVERIFY(f.scaler->replyText.startsWith(QLatin1String("PICTURE HUE IS")));
        QVERIFY(clock.elapsed() < 500);
    }

    // The family sender leaves the link OCCUPIED for the page's burst; setAvailable ends it.
    void familyBurstHoldsTheLinkUntilSetAvailable()
    {
        ScalerFixture f;
        JovarisSim sim(JovarisSim::Model::Norrith);
        QVERIFY(sim.start());
        f.selectProductText(QStringLiteral("Norrith Extender"));
        f.scaler->serialPortName = sim.portName();
        f.ui.ConfiguratorTabs->setEnabled(false);
        f.scaler->sendCommand(QStringLiteral("#GET_VOL"), QString(), QString(), 500, true, false);
        QCOMPARE(f.scaler->availability, int(Scaler::OCCUPIED));
        QVERIFY(f.scaler->readLine().join(QLatin1Char(' ')).contains(QLatin1String("VOL")));
        QCOMPARE(sim.serialSettings().baudRate, 9600);
        f.scaler->sendCommand(QStringLiteral("#GET_EDID_MODE"), QString(), QString(), 500, false, true);
        QVERIFY(!f.scaler->serialPort->isOpen());
        f.scaler->setAvailable();
        QCOMPARE(f.scaler->availability, int(Scaler::AVAILABLE));
        QVERIFY(f.ui.ConfiguratorTabs->isEnabled());
        QCOMPARE(sim.requests().size(), 2);
    }

    // The Jovaris rate is found once and then reused; a unit that never answers costs the seven
    // rates and leaves the rate empty for the next try.
    void baudProbeFindsRateOnce()
    {
        ScalerFixture f;
        JovarisSim sim(JovarisSim::Model::Jovaris);
        sim.setBaudRate(57600);
        QVERIFY(sim.start());
        f.selectProductText(QStringLiteral("Jovaris Transmitter"));
        f.scaler->serialPortName = sim.portName();
        QVERIFY(f.scaler->openPort(false));
        QCOMPARE(f.scaler->baudRateText, QStringLiteral("57600"));
        QCOMPARE(sim.requestCount(QStringLiteral("#HELP")), 1);
        QVERIFY(f.scaler->openPort(false));
        QCOMPARE(sim.requestCount(QStringLiteral("#HELP")), 1);
        QCOMPARE(sim.serialSettings().baudRate, 57600);

        f.scaler->sendCommand(QStringLiteral("#GET_VOL"), QString(), QString(), 500, false, true);
        QVERIFY(f.scaler->replyText.contains(QLatin1String("VOL")));
    }

    void baudProbeFailsAfterSevenRates()
    {
        ScalerFixture f;
        auto sim = std::make_unique<SimDevice>(); // hears, never answers
        sim->setTerminator("\r\n");
        QVERIFY(sim->startPty());
        f.selectProductText(QStringLiteral("Surrow Transmitter"));
        f.scaler->serialPortName = sim->portName();
        QVERIFY(!f.scaler->openPort(false));
        QVERIFY(f.scaler->baudRateText.isEmpty());
        QCOMPARE(sim->requestCount(QStringLiteral("#HELP")), 7);
        QCOMPARE(sim->serialSettings().baudRate, 2400);

        f.scaler->sendCommand(QStringLiteral("#GET_VOL"), QString(), QString(), 500, true, true);
        QCOMPARE(f.status(), QStringLiteral("Failed to open serial port. Try disconnect power and connect the unit."));
        QVERIFY(f.scaler->replyText.isEmpty());
    }

    // TCP replies come in segments; they are read to the prompt and split once. Silence means the
    // unit is gone: the EDID page shuts and the user is told.
    void tcpRepliesAreJoinedAcrossSegments()
    {
        ScalerFixture f;
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        ZarrickSim sim(ZarrickSim::Model::Zarrick);
        QVERIFY(sim.start());
        const QString hex(300, QLatin1Char('A'));
        sim.addRule(SimRule::exact("#GET_CUSTOM_EDID 1").reply(hex.toLatin1() + "\n\r>").chunked(64, 30));
        sim.addRule(SimRule::exact("#GET_EDID_MODE 0").reply("EDID MODE IS 1 2 3 4\n\r>").chunked(7, 40));
        f.selectProductText(QStringLiteral("Savrano HDMI 4x1 ") + MODEL_ZARRICK);
        f.scaler->ipAddress = QStringLiteral("127.0.0.1");
        f.scaler->tcpPort = sim.tcpPort();
        f.scaler->TCPConnect();

        f.scaler->sendTCPCommand(QStringLiteral("#GET_EDID_MODE"), QStringLiteral("0"));
        QCOMPARE(f.scaler->availability, int(Scaler::OCCUPIED));
        QCOMPARE(f.scaler->TCPreadLine(), (QStringList{"EDID", "MODE", "IS", "1", "2", "3", "4"}));
        QCOMPARE(f.scaler->availability, int(Scaler::AVAILABLE));
        f.scaler->sendTCPCommand(QStringLiteral("#GET_CUSTOM_EDID"), QStringLiteral("1"));
        QCOMPARE(f.scaler->TCPreadLine(), QStringList{hex});
        QVERIFY(dialogs.shown().isEmpty());

        sim.addRule(SimRule::exact("#GET_EDID_LOCK 0").silence());
        f.ui.downloadButton->setEnabled(true);
        f.scaler->sendTCPCommand(QStringLiteral("#GET_EDID_LOCK"), QStringLiteral("0"));
        QVERIFY(f.scaler->TCPreadLine().isEmpty());
        QVERIFY(dialogs.wasShown(QStringLiteral("Device is disconnected.")));
        QVERIFY(!f.ui.downloadButton->isEnabled());
        QVERIFY(f.ui.scalerEDIDFrame->isHidden());
        QCOMPARE(f.scaler->availability, int(Scaler::AVAILABLE));

        // A send on a closed connection is reported and writes nothing.
        sim.disconnectAll();
        QTRY_COMPARE(f.scaler->tcpSocket->state(), QAbstractSocket::UnconnectedState);
        f.scaler->sendTCPCommand(QStringLiteral("#GET_EDID_MODE"), QStringLiteral("0"));
        QCOMPARE(f.status(), QStringLiteral("Device is disconnected."));
        QVERIFY(f.statusIsError());
        QCOMPARE(f.scaler->availability, int(Scaler::AVAILABLE));
    }

    // A generic scaler appears through the port list once; picking it checks for its boot loader
    // at 115200 and leaves the port closed; a unit in its boot loader gets disabled pages, the
    // instructions, and no "#GET_".
    void selectingGenericScaler()
    {
        ScalerFixture f;
        ScalerSim sim(ScalerSim::Model::Sdi);
        QVERIFY(sim.start());
        const QList<Device> devices = f.scaler->updateDeviceList();
        QCOMPARE(devices.size(), 1);
        QCOMPARE(devices[0].portName, sim.portName());
        QCOMPARE(devices[0].type, 4);

        f.ui.selectEDIDFromDevice->clear();
        f.ui.selectEDIDFromDevice->addItems({QStringLiteral("Select EDID"), QStringLiteral("Old entry"),
                                             QStringLiteral("Connected Display 1")});
        f.selectProductText(devices[0].name + QStringLiteral(", ") + devices[0].portName);
        f.scaler->setState(1);
        f.scaler->selectedProductChanged(devices[0]);
        QVERIFY(selectionPingsArrived(sim));
        QCOMPARE(f.scaler->deviceState, 1);
        QVERIFY(!f.scaler->serialPort->isOpen());
        QStringList sources;
        for (int i = 0; i < f.ui.selectEDIDFromDevice->count(); ++i)
            sources.append(f.ui.selectEDIDFromDevice->itemText(i));
        QCOMPARE(sources.join('|'), QStringLiteral("Select EDID|Scaler: VGA EDID|Scaler: HDMI EDID|Connected Display 1"));
        QVERIFY(!f.ui.outputLockFrame->isHidden());
        QVERIFY(!f.ui.label_93->isHidden());
        QVERIFY(f.ui.scalerEDIDBox->isEnabled());

        sim.clearLog();
        sim.enterBootLoader();
        f.scaler->setState(0);
        f.scaler->setState(1);
        f.scaler->selectedProductChanged(devices[0]);
        QCOMPARE(f.scaler->deviceState, 2);
        QVERIFY(!f.ui.outputTab->isEnabled());
        QVERIFY(f.ui.firmwareUpdateInstructions->text().startsWith(
            QLatin1String("The firmware update process was started but did not run to completion.")));
        for (int tab = 0; tab < 7; ++tab)
            f.scaler->scalerTabChanged(tab);
        QTest::qWait(TimeScale::ms(200));
        QVERIFY(!sim.received().contains("#GET_"));
        QVERIFY(!f.scaler->serialPort->isOpen());
    }

    // Widget action -> the line the unit receives.
    void pageWidgetsSendTheirCommands()
    {
        ScalerFixture f;
        ScalerSim sim(ScalerSim::Model::Hdmi);
        QVERIFY(sim.start());
        const QList<Device> devices = f.scaler->updateDeviceList();
        QCOMPARE(devices.size(), 1);
        f.selectProductText(devices[0].name + QStringLiteral(", ") + devices[0].portName);
        f.scaler->setState(1);
        f.scaler->selectedProductChanged(devices[0]);
        // Picked twice: one click still sends one command.
        f.scaler->selectedProductChanged(devices[0]);
        QVERIFY(selectionPingsArrived(sim, 2));
        sim.clearLog();

        struct Action {
            std::function<void()> act;
            QString line;
        };
        const QList<Action> actions = {
            {[&] { buttonWithText(f.ui.colorSpaceFrame, QStringLiteral("YCbCr 4:4:4"))->click(); }, "#SET_OUTPUT_COLOR 1"},
            {[&] { buttonWithText(f.ui.edgeEnhanceFrame, QStringLiteral("User"))->click(); }, "#SET_EDGE_ENHANCE 3"},
            {[&] { buttonWithText(f.ui.outputResolutionFrame, QStringLiteral("Auto-Detect"))->click(); }, "#SET_OUTPUT_RES 21"},
            {[&] { buttonWithText(f.ui.testPatternFrame, QStringLiteral("Off"))->click(); }, "#SET_TEST_PATTERNS 6"},
            {[&] { buttonWithText(f.ui.scalerEDIDFrame, QStringLiteral("Custom"))->click(); }, "#SET_EDID_MODE 1"},
            {[&] { f.ui.verticalMirror->setChecked(true); }, "#SET_VERTICAL_MIRROR 1"},
            {[&] { f.ui.redSlider->setValue(42); }, "#SET_COLOR_BALANCE 0 42"},
            {[&] { emit f.scaler->presets[2]->sendCommand(QStringLiteral("#SET_HORZ_SYNC_POLARITY"), QStringLiteral("1 2")); },
             "#SET_HORZ_SYNC_POLARITY 1 2"},
        };
        for (const Action& action : actions) {
            sim.clearLog();
            action.act();
            QVERIFY2(sim.waitForRequest(action.line, 3000), qPrintable(action.line));
            QTRY_COMPARE(f.scaler->availability, int(Scaler::AVAILABLE));
            QTest::qWait(TimeScale::ms(100));
            QCOMPARE(sim.requests(), QStringList{action.line});
        }

        // Nothing goes out while the page is being filled from the unit.
        sim.clearLog();
        f.scaler->updating = true;
        f.ui.verticalMirror->setChecked(false);
        QTest::qWait(TimeScale::ms(200));
        QVERIFY(sim.received().isEmpty());
    }

    // The real controller inside the real window: the hub lists the simulated scaler from its
    // port, and picking it hands it to the controller, which checks for the boot loader.
    void realScalerInsideTheWindow()
    {
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        ScalerSim sim(ScalerSim::Model::Sdi);
        QVERIFY(sim.start());
        RecordingControllerFactory factory;
        factory.realScaler = true;
        MainWin window(&factory);
        QVERIFY(factory.realScalerController);
        QVERIFY(!factory.scaler);
        window.refreshList();
        emit factory.discovery->refreshPerformed();
        QComboBox* combo = window.form()->productCombobox;
        const QString entry = NAME_SCALER_HDMI_VGA_TO_3GSDI + QStringLiteral(", ") + sim.portName();
        QTRY_VERIFY(combo->findText(entry) >= 0);
        QCOMPARE(combo->findText(entry), combo->findText(entry, Qt::MatchContains));
        combo->setCurrentIndex(combo->findText(entry));
        emit combo->activated(combo->currentIndex());
        QVERIFY(sim.waitForReceived(QByteArray("\x03\x20\x20", 3)));
        QTRY_COMPARE(factory.realScalerController->deviceState, 1);
        QCOMPARE(factory.realScalerController->selectedDevice.portName, sim.portName());
        QCOMPARE(window.form()->ConfiguratorTabs->tabText(0), QStringLiteral("Output"));
        QVERIFY(!window.form()->outputLockFrame->isHidden());
    }

    // A Zarrick or Cavrosh unit found on the network: the hub hands it to the real controller only
    // when its product name holds the family name, and the controller opens its TCP link to the
    // unit's address and telnet port.
    void tcpUnitInsideTheWindow_data()
    {
        QTest::addColumn<QString>("productName");
        QTest::addColumn<bool>("connects");
        QTest::newRow("Zarrick Savrano") << "Zarrick Savrano" << true;
        QTest::newRow("Cavrosh Borlune") << "Cavrosh Borlune" << true;
        QTest::newRow("family name missing") << "Zarrick" << false;
    }
    void tcpUnitInsideTheWindow()
    {
        QFETCH(QString, productName);
        QFETCH(bool, connects);
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        ZarrickSim sim(productName.contains(QLatin1String("Borlune")) ? ZarrickSim::Model::Cavrosh
                                                                        : ZarrickSim::Model::Zarrick);
        QVERIFY(sim.start());

        _Device unit;
        const quint8 mac[6] = {0x02, 0x1C, 0x9A, 0x0A, 0xFF, 0x01};
        std::copy(mac, mac + 6, unit.mac);
        const quint8 ip[4] = {127, 0, 0, 1};
        std::copy(ip, ip + 4, unit.ip);
        unit.telnetPort = sim.tcpPort();
        unit.productName = productName;

        RecordingControllerFactory factory;
        factory.realScaler = true;
        factory.script.discoveredDevices = {&unit};
        factory.script.remainingDevices = factory.script.discoveredDevices;
        MainWin window(&factory);
        Scaler* scaler = factory.realScalerController;
        QVERIFY(scaler);
        emit factory.discovery->refreshPerformed();
        QComboBox* combo = window.form()->productCombobox;
        const QString entry = productName + QStringLiteral(", MAC: 02:1C:9A:0A:FF:01");
        QTRY_VERIFY(combo->findText(entry) >= 0);
        combo->setCurrentIndex(combo->findText(entry));
        emit combo->activated(combo->currentIndex());

        if (connects) {
            QTRY_COMPARE(sim.peerCount(), 1);
            QCOMPARE(scaler->ipAddress, QStringLiteral("127.0.0.1"));
            QCOMPARE(scaler->tcpPort, int(sim.tcpPort()));
            QCOMPARE(scaler->deviceState, 1);
        } else {
            QTest::qWait(200);
            QCOMPARE(sim.peerCount(), 0);
        }
        window.close();
    }
};

PLEXA_TEST_MAIN(TestScalerChannel)
#include "tst_scaler_channel.moc"
