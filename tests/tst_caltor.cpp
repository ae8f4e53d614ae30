// The Caltor page against the simulated unit (tests/sim/caltorsim): the six-rate baud search with
// the rate read back from the pty, LF CR endings, telnet commands only when connected, the
// network settings dialog's checks and commands, the MCU image onto a drive with its progress
// under a comma-decimal locale, the package copy. The network-module update: tst_caltor_module.
#include "caltorfixture.h"
#include "deviceinfodialog.h"
#include "localetest.h"
#include "plexatest.h"
#include "removabledrives.h"
#include "scripteddialogs.h"
#include "serialports.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUdpSocket>


class TestCaltor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SerialPortLister::setSystemPortsListed(false);
        RemovableDriveLister::setSystemDrivesListed(false);
    }
    void cleanup() { RemovableDriveLister::clearRegisteredDrives(); }

    // The unit is found at its own rate, tried in the table's order; the port stays at it.
    void baudSearch_data()
    {
        QTest::addColumn<int>("code");
        for (int code = 1; code <= 6; ++code)
            QTest::newRow(qPrintable(QString::number(CaltorSim::rateOf(code)))) << code;
    }
    void baudSearch()
    {
        QFETCH(int, code);
        // Each rate gets 500 ms for its answer: at 0.02 that is 10 ms, which a late echo under
        // the sanitizers can miss and leak into the next rate's window.
        const double factor = TimeScale::factor();
        TimeScale::setFactor(0.5);
        Fixture f;
        f.unit.setBaudCode(code);
        f.page->portName = f.unit.portName();
        QVERIFY(f.page->baudCheck());
        QCOMPARE(f.page->baudIndex, code);
        QCOMPARE(f.unit.serialSettings().baudRate, CaltorSim::rateOf(code));
        QCOMPARE(f.unit.commands().last(), QStringLiteral("#HELP"));
        QCOMPARE(f.statusLog.last(), QStringLiteral("Checking compatible baud-rate. Please wait..."));
        TimeScale::setFactor(factor);
    }

    void silentUnitIsNotFound()
    {
        Fixture f;
        f.unit.setRequiredBaudRate(2400); // a rate outside the table: nothing is heard
        f.page->portName = f.unit.portName();
        f.page->baudIndex = 3;
        QVERIFY(!f.page->baudCheck());
        QCOMPARE(f.page->baudIndex, 3);
        QCOMPARE(f.unit.received().count("#HELP\n\r"), 6);
    }

    // Commands end in LF CR; the console text is kept until the next command, raw writes keep it;
    // the baud restore sends the code found; telnet commands go out only on a connected link.
    void commandsAndReplies()
    {
        Fixture f;
        f.unit.setBaudCode(4);
        f.page->portName = f.unit.portName();
        QVERIFY(f.page->baudCheck());
        f.page->sendSerialCommand(QStringLiteral("#SET_RS232_BAUD 2"));
        QVERIFY(f.page->readSerialLine(2000, QStringLiteral("RS232_BAUD 2")));
        f.page->writeToSerialPort(QStringLiteral("x"));
        QVERIFY(f.page->readSerialLine(500, QStringLiteral("RS232_BAUD 2")));
        QVERIFY(!f.page->readSerialLine(499, QStringLiteral("RS232_BAUD 2"))); // no pass at all
        QTRY_COMPARE(f.unit.baudCode(), 2);
        f.page->serial()->setBaudRate(57600);
        QVERIFY(f.page->revertBaud());
        QVERIFY(f.unit.received().endsWith("#SET_RS232_BAUD 4\n\r"));
        QTRY_COMPARE(f.unit.baudCode(), 4);

        f.page->sendTCPCommand(QStringLiteral("#FIRMWARE_UPDATE")); // no link yet: dropped
        QVERIFY(f.unit.startTcp());
        f.page->ipAddress = QStringLiteral("127.0.0.1");
        f.page->tcpPort = f.unit.tcpPort();
        QCOMPARE(f.unit.firmwareUpdates(), 0);
    }

    void dottedQuads_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("address");
        QTest::addColumn<bool>("mask");
        QTest::newRow("address") << "10.0.0.1" << true << false;
        QTest::newRow("mask /24") << "255.255.255.0" << true << true;
        QTest::newRow("mask /0") << "0.0.0.0" << true << true;
        QTest::newRow("mask /32") << "255.255.255.255" << true << true;
        QTest::newRow("mask with a hole") << "255.0.255.0" << true << false;
        QTest::newRow("mask /25") << "255.255.255.128" << true << true;
        QTest::newRow("mask not from the top") << "0.255.255.255" << true << false;
        QTest::newRow("300") << "192.168.1.300" << false << false;
        QTest::newRow("leading zero") << "192.168.01.1" << false << false;
        QTest::newRow("empty") << "" << false << false;
        QTest::newRow("mask's dots only") << "..." << false << false;
        QTest::newRow("three groups") << "10.0.1" << false << false;
        QTest::newRow("blank inside") << "10.0. 1.1" << false << false;
        QTest::newRow("sign") << "10.0.+1.1" << false << false;
        QTest::newRow("Arabic-Indic digit") << QString::fromUtf8("10.0.\xd9\xa1.1") << false << false;
    }
    void dottedQuads()
    {
        QFETCH(QString, text);
        QFETCH(bool, address);
        QFETCH(bool, mask);
        QCOMPARE(Caltor::isDottedQuad(text), address);
        QCOMPARE(Caltor::isSubnetMask(text), mask);
    }

    // Invalid entries: one box per entry, one "Error" box listing them, nothing sent. Valid
    // ones: three commands as typed, a reboot, and the module update (here its server cannot
    // bind), with Save disabled meanwhile.
    void networkDialogSave()
    {
        Fixture f;
        f.linkAt57600(1);
        f.page->ipAddress.clear();
        QVERIFY(f.page->showDeviceInfoDialog());
        DeviceInfoDialog* dialog = f.page->lastDeviceInfoDialog();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Device Information"));
        dialog->ipAddressEdit->setText(QStringLiteral("192.168.1.300"));
        dialog->subnetEdit->setText(QStringLiteral("255.0.255.0"));
        dialog->saveButton->click();
        QCOMPARE(f.dialogs.titles(),
                 QStringList({"Update Failure", "Update Failure", "Update Failure", "Error"}));
        QCOMPARE(f.dialogs.textOf(QStringLiteral("Error")),
                 QStringLiteral("Device IP inputted is not valid. Please fix and try again.\n"
                                "Device Gateway inputted is not valid. Please fix and try again.\n"
                                "Device Subnet inputted is not valid. Please fix and try again.\n"));
        QVERIFY(f.unit.commands().isEmpty());
        QVERIFY(f.page->ipAddress.isEmpty());

        f.dialogs.clear();
        dialog->ipAddressEdit->setText(QStringLiteral("192.168.1.50"));
        dialog->gatewayEdit->setText(QStringLiteral("192.168.1.1"));
        dialog->subnetEdit->setText(QStringLiteral("255.255.255.0"));
        QUdpSocket holder; // the server's port is taken
        QVERIFY(holder.bind(QHostAddress(QHostAddress::LocalHost), f.page->tftpListenPort));
        bool saveDisabled = false;
        f.dialogs.answer = [&](const QString& title, const QString&) -> QVariant {
            if (title == QLatin1String("TFTP server error"))
                saveDisabled = !dialog->saveButton->isEnabled();
            return QVariant();
        };
        dialog->saveButton->click();
        QTRY_COMPARE(f.unit.commands(), QStringList({"#SET_IP_ADDRESS 192.168.1.50", "#SET_GATEWAY 192.168.1.1",
                                                 "#SET_SUBNET 255.255.255.0", "#REBOOT", "#SET_RS232_BAUD 1"}));
        QCOMPARE(f.page->ipAddress, QStringLiteral("192.168.1.50"));
        QCOMPARE(f.dialogs.titles(), QStringList({"TFTP server error"}));
        QVERIFY(f.dialogs.textOf(QStringLiteral("TFTP server error"))
                    .startsWith(QStringLiteral("Unable to connect to TFTP server. Abort\n")));
        QVERIFY(saveDisabled);
        QVERIFY(dialog->saveButton->isEnabled());
        QVERIFY(!f.page->serial()->isOpen());
    }

    // Both images: the choice; MCU over serial for a unit without an address: the drive that
    // appears after the first OK gets the image (an older copy replaced), the command goes out,
    // the progress moves in 2.5 % steps written the same under any locale.
    void mcuUpdate_data() { addLocaleRows(); }
    void mcuUpdate()
    {
        QFETCH(QString, locale);
        DefaultLocaleScope scope(locale);
        Fixture f;
        const QByteArray image = sampleImage(3000);
        f.package({{QStringLiteral("CALTORV1.bin"), "old"}, {QStringLiteral("CALTORV2.BIN"), image},
                   {QStringLiteral("KAVRELL.bin"), "tcp"}});
        const QString drive = f.dir.filePath(QStringLiteral("drive/"));
        QDir().mkpath(drive);
        QFile old(drive + QStringLiteral("CALTORV2.BIN"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an older image, longer than nothing");
        old.close();
        int asked = 0;
        QStringList progressTexts;
        f.dialogs.answer = [&](const QString& title, const QString& text) -> QVariant {
            if (title == QLatin1String("Serial Port connection"))
                return f.unit.portName();
            if (text.startsWith(QLatin1String("Select module")))
                return QStringLiteral("MCU");
            if (text.startsWith(QLatin1String("Please connect empty USB drive")) && ++asked == 2)
                RemovableDriveLister::registerDrive(drive);
            if (text.startsWith(QLatin1String("Please")))
                return int(QMessageBox::Ok);
            return QVariant();
        };
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            const QString t = f.ui.updateBarNumber_2->text();
            if (progressTexts.isEmpty() || progressTexts.last() != t)
                progressTexts.append(t);
        });
        sampler.start(1);
        f.unit.setBaudCode(3);
        f.page->initiateCALTORFirmwareUpdate();
        sampler.stop();

        QCOMPARE(asked, 2);
        QCOMPARE(PlexaTest::readFile(drive + QStringLiteral("CALTORV2.BIN")), image);
        QCOMPARE(f.unit.firmwareUpdates(), 1);
        QCOMPARE(f.page->baudIndex, 3);
        QVERIFY(progressTexts.contains(QStringLiteral("2.5%")));
        QVERIFY(progressTexts.contains(QStringLiteral("97.5%")));
        QVERIFY(f.dialogs.wasShown(QStringLiteral("The unit started the firmware update from the USB drive.")));
        QCOMPARE(f.ui.updateBarNumber_2->text(), QStringLiteral("0%"));
        QVERIFY(!f.page->serial()->isOpen());
    }

    // A unit whose telnet port does not answer: the red message, the serial fallback (the port
    // is asked for, as the unit was known by its address only), the address forgotten.
    void mcuTelnetFallback()
    {
        Fixture f;
        f.package({{QStringLiteral("CALTORV2.bin"), "mcu"}});
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        f.page->ipAddress = QStringLiteral("127.0.0.1");
        f.page->tcpPort = port;
        f.dialogs.answer = [&](const QString& title, const QString&) -> QVariant {
            if (title == QLatin1String("Serial Port connection"))
                return f.unit.portName();
            return int(QMessageBox::Cancel); // the drive question
        };
        f.page->initiateCALTORFirmwareUpdate();
        QVERIFY(f.statusShown(QStringLiteral("TCP connection Failed. Activating Serial connection.")));
        QVERIFY(f.page->ipAddress.isEmpty());
        QCOMPARE(f.page->baudIndex, 1);
        QCOMPARE(f.unit.firmwareUpdates(), 0);
    }

    // Over telnet the command goes on the TCP link.
    void mcuOverTelnet()
    {
        Fixture f;
        QVERIFY(f.unit.startTcp());
        f.package({{QStringLiteral("CALTORV2.bin"), "mcu"}});
        const QString drive = f.dir.filePath(QStringLiteral("stick/"));
        QDir().mkpath(drive);
        f.page->ipAddress = QStringLiteral("127.0.0.1");
        f.page->tcpPort = f.unit.tcpPort();
        f.dialogs.answer = [&](const QString&, const QString& text) -> QVariant {
            if (text.startsWith(QLatin1String("Please connect empty USB drive")))
                RemovableDriveLister::registerDrive(drive);
            return int(QMessageBox::Ok);
        };
        f.page->initiateCALTORFirmwareUpdate();
        QCOMPARE(PlexaTest::readFile(drive + QStringLiteral("CALTORV2.bin")), QByteArray("mcu"));
        QCOMPARE(f.unit.firmwareUpdates(), 1);
        QVERIFY(!f.dialogs.titles().contains(QStringLiteral("Serial Port connection")));
    }

    // A package chosen again replaces the older copy in the firmware folder.
    void browseReplacesCopy()
    {
        Fixture f;
        const QString chosen = f.dir.filePath(QStringLiteral("Caltor.zip"));
        const QString copy = QDir::homePath() + QStringLiteral("/VelmoFWUpgrade/Caltor.zip");
        for (const QByteArray& content : {QByteArray("first"), QByteArray("second, longer")}) {
            QFile file(chosen);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
            file.close();
            f.dialogs.answerPath(chosen);
            f.page->browseUpdateFiles();
            QCOMPARE(PlexaTest::readFile(copy), content);
        }
        QCOMPARE(f.ui.updateFilename_2->text(), QDir::toNativeSeparators(copy));
        QVERIFY(f.ui.updatePlxInstall_3->isEnabled());
    }
};

PLEXA_TEST_MAIN(TestCaltor)
#include "tst_caltor.moc"
