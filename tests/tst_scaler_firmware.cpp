// The scaler firmware flows against simulated units: the generic boot-loader upload and the
// Zarrick/Cavrosh boot-loader update deliver the file byte for byte, every injected boot-loader
// failure ends with its message and leaves the unit recoverable, and the Jovaris-family USB-drive
// update finds the drive, verifies its copies and reads the unit's verdict.
#include "plexatest.h"
#include "constants.h"
#include "removabledrives.h"
#include "scalerfixture.h"
#include "scalersim.h"
#include "scripteddialogs.h"
#include "serialports.h"
#include "simdevice.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

namespace {

using Fault = ScalerSim::BootFault;

QByteArray pattern(int size, int seed = 7)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 31 + seed * 17 + (i >> 8)) & 0xFF);
    return bytes;
}

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The runs a flow reported through firmwareUpdateEvent: it must open with true and close with
// false exactly once.
bool runEnded(const QSignalSpy& spy)
{
    return spy.size() >= 2 && spy.first().first().toBool() && !spy.last().first().toBool();
}

// A dialog script that also lets the test act (plug a drive in) when a given text is shown.
class DriveDialogs : public ScriptedDialogs
{
public:
    std::function<void(const QString& text)> onMessage;

    QMessageBox::StandardButton message(Kind kind, QWidget* parent, const QString& title, const QString& text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override
    {
        if (onMessage)
            onMessage(text);
        return ScriptedDialogs::message(kind, parent, title, text, buttons, defaultButton);
    }
    int count(const QString& textPart) const
    {
        int n = 0;
        for (const Shown& s : shown())
            n += s.text.contains(textPart) ? 1 : 0;
        return n;
    }
};

// A generic scaler running its firmware, and the controller pointed at a file.
struct GenericRun {
    ScalerFixture f;
    ScalerSim sim {ScalerSim::Model::Dvi};
    QTemporaryDir dir;
    QSignalSpy events {f.scaler.get(), &Scaler::firmwareUpdateEvent};

    bool start(const QByteArray& image)
    {
        if (!sim.start())
            return false;
        f.pickGeneric(sim.portName(), ScalerSim::modelName(ScalerSim::Model::Dvi));
        f.scaler->setState(1);
        f.ui.updateFilename->setText(writeFile(dir.filePath(QStringLiteral("fw.bin")), image));
        return true;
    }
    // Starts a run and waits for its end (the upload itself starts once "#FW_UPGRADE" completed).
    bool run()
    {
        const int before = events.size();
        f.scaler->initiateFirmwareUpdate();
        return QTest::qWaitFor([&] { return events.size() >= before + 2 && !events.last().first().toBool(); }, 60000);
    }
};

} // namespace

class TestScalerFirmware : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SerialPortLister::setSystemPortsListed(false);
        RemovableDriveLister::setSystemDrivesListed(false);
        baseFactor = TimeScale::factor();
    }
    void init()
    {
        // The generic upload's waits (5 s per awaited byte) stay well above a pty round trip on a
        // loaded machine under the sanitizers at 0.2; the Zarrick flow's shortest (a ping try of
        // 300 ms, a status settling for 100 ms) leave no room below real time.
        const bool zarrick = QByteArray(QTest::currentTestFunction()).startsWith("zarrick");
        TimeScale::setFactor(qMax(baseFactor, zarrick ? 1.0 : 0.2));
    }
    void cleanup() { RemovableDriveLister::clearRegisteredDrives(); }

    // ---- Generic boot loader ----

    void genericUpload_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("dataPackets");
        QTest::addColumn<int>("lastLength"); // length byte of the last data packet
        QTest::newRow("empty") << 0 << 0 << 0;
        QTest::newRow("shorter than the header") << 10 << 0 << 0;
        QTest::newRow("header only") << 16 << 0 << 0;
        QTest::newRow("one full packet") << 96 << 1 << 0x53;
        QTest::newRow("short last packet") << 16 + 3 * 80 + 5 << 4 << 8;
    }
    void genericUpload()
    {
        QFETCH(int, size);
        QFETCH(int, dataPackets);
        QFETCH(int, lastLength);
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        GenericRun r;
        const QByteArray image = pattern(size);
        QVERIFY(r.start(image));

        QVERIFY(r.run());

        QByteArray expected = image;
        if (expected.size() < 16)
            expected.append(QByteArray(16 - expected.size(), '\0'));
        QCOMPARE(r.sim.bootLoaderImage(), expected);
        QCOMPARE(r.sim.requestCount(QStringLiteral("#FW_UPGRADE")), 1);
        QList<QByteArray> data;
        for (const QByteArray& p : r.sim.bootLoaderPackets()) {
            if (quint8(p.at(2)) == 0x2E)
                data.append(p);
        }
        QCOMPARE(data.size(), dataPackets);
        if (dataPackets) {
            QCOMPARE(int(quint8(data.last().at(0))), lastLength);
            const QByteArray first = data.first();
            quint8 sum = 0x2E;
            for (int i = 3; i < first.size(); ++i)
                sum = quint8(sum + quint8(first.at(i)));
            QCOMPARE(quint8(first.at(1)), sum);
        }
        QCOMPARE(quint8(r.sim.bootLoaderPackets().last().at(2)), quint8(0x25));
        QVERIFY(!r.sim.inBootLoader());
        QCOMPARE(r.f.scaler->deviceState, 1);
        QCOMPARE(r.f.ui.updateBar->maximum(), size / 76);
        QCOMPARE(r.f.scaler->availability, int(Scaler::AVAILABLE));
        QVERIFY(r.f.ui.firmwareUpdateInstructions->text().isEmpty());
        QVERIFY(dialogs.shown().isEmpty());
        QVERIFY(runEnded(r.events));
        QCOMPARE(r.events.size(), 2);
    }

    // Each failure ends with its message and a unit left in its boot loader; the next run goes
    // straight to the boot loader (no "#FW_UPGRADE") and delivers the whole file.
    void genericFailures_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<QString>("message");
        QTest::newRow("silent ping") << int(Fault::Silence) << 0x20 << 1 << MSG_FW_NO_COMMUNICATION;
        QTest::newRow("ping refused") << int(Fault::Nak) << 0x20 << 1 << MSG_FW_NO_COMMUNICATION;
        QTest::newRow("header refused") << int(Fault::Nak) << 0x2D << 1 << MSG_FW_WRONG_FILE;
        QTest::newRow("bad status after header") << int(Fault::BadStatus) << 0x23 << 1 << MSG_FW_INTERRUPTED;
        QTest::newRow("silent after a data packet") << int(Fault::Silence) << 0x2E << 2 << MSG_FW_INTERRUPTED;
        QTest::newRow("data packet refused") << int(Fault::Nak) << 0x2E << 1 << MSG_FW_INTERRUPTED;
        QTest::newRow("bad status after data") << int(Fault::BadStatus) << 0x23 << 3 << MSG_FW_INTERRUPTED;
        QTest::newRow("finish refused") << int(Fault::Nak) << 0x2F << 1 << MSG_FW_CHECKSUM_FAILED;
    }
    void genericFailures()
    {
        QFETCH(int, fault);
        QFETCH(int, command);
        QFETCH(int, occurrence);
        QFETCH(QString, message);
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        GenericRun r;
        const QByteArray image = pattern(16 + 3 * 80);
        QVERIFY(r.start(image));
        r.sim.addBootFault(Fault(fault), quint8(command), occurrence);

        QVERIFY(r.run());

        QCOMPARE(r.f.ui.firmwareUpdateInstructions->text(), message);
        QCOMPARE(r.f.scaler->deviceState, 2);
        QVERIFY(!r.f.ui.outputTab->isEnabled());
        QCOMPARE(r.f.scaler->availability, int(Scaler::AVAILABLE));
        QVERIFY(!r.f.scaler->serialPort->isOpen());
        QCOMPARE(r.f.ui.updateBar->value(), 0);
        QVERIFY(r.f.ui.ConfiguratorTabs->isEnabled());
        QVERIFY(r.sim.inBootLoader());
        QVERIFY(r.f.scaler->firmwareFile == nullptr);
        QVERIFY(runEnded(r.events));

        // Recovery.
        r.sim.clearBootFaults();
        QVERIFY(r.run());
        QCOMPARE(r.sim.requestCount(QStringLiteral("#FW_UPGRADE")), 1);
        QCOMPARE(r.sim.bootLoaderImage(), image);
        QCOMPARE(r.f.scaler->deviceState, 1);
        QVERIFY(r.f.ui.firmwareUpdateInstructions->text().isEmpty());
        QVERIFY(dialogs.shown().isEmpty());
    }

    // Stray bytes ahead of an acknowledgement are skipped, and so is an answer in pieces.
    void genericToleratesStrayAndSplitAnswers()
    {
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        GenericRun r;
        const QByteArray image = pattern(16 + 2 * 80);
        QVERIFY(r.start(image));
        r.sim.addBootFault(Fault::StrayPrompt, 0x2E, 1);
        r.sim.addBootFault(Fault::SplitAnswer, 0x23, 2);
        QVERIFY(r.run());
        QCOMPARE(r.sim.bootLoaderImage(), image);
        QCOMPARE(r.f.scaler->deviceState, 1);
    }

    // A file that cannot be read changes nothing: no box but the I/O error, no boot loader.
    void genericUnreadableFile()
    {
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        GenericRun r;
        QVERIFY(r.start(QByteArray()));
        r.f.ui.updateFilename->setText(r.dir.filePath(QStringLiteral("missing.bin")));
        QVERIFY(r.run());
        QCOMPARE(dialogs.shown().size(), 1);
        QCOMPARE(dialogs.shown().first().title, QStringLiteral("I/O Error"));
        QCOMPARE(dialogs.shown().first().text, QStringLiteral("Cannot open file for reading."));
        QCOMPARE(r.sim.requestCount(QStringLiteral("#FW_UPGRADE")), 0);
        QVERIFY(!r.sim.inBootLoader());
        QCOMPARE(r.f.scaler->deviceState, 1);
        QVERIFY(r.f.ui.outputTab->isEnabled());
    }

    // Closing the window stops the upload before its next data packet, silently.
    void genericStopsWhenWindowCloses()
    {
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        GenericRun r;
        QVERIFY(r.start(pattern(16 + 2 * 80)));
        r.f.scaler->clearRunFlag();
        QVERIFY(r.run());
        for (const QByteArray& p : r.sim.bootLoaderPackets())
            QVERIFY(quint8(p.at(2)) != 0x2E);
        QVERIFY(r.f.ui.firmwareUpdateInstructions->text().isEmpty());
        QVERIFY(dialogs.shown().isEmpty());
    }

    // ---- Zarrick and Cavrosh boot loader ----

    void zarrickUpload_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<int>>("packetLengths");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<bool>("split");
        QTest::newRow("two full packets") << MODEL_ZARRICK << 152 << QList<int> {0x4F, 0x4F} << false << false;
        QTest::newRow("short last packet") << MODEL_CAVROSH << 200 << QList<int> {0x4F, 0x4F, 0x33} << false << false;
        QTest::newRow("busy at first ping") << MODEL_ZARRICK << 76 << QList<int> {0x4F} << true << false;
        QTest::newRow("answers in pieces") << MODEL_ZARRICK << 77 << QList<int> {0x4F, 0x04} << false << true;
    }
    void zarrickUpload()
    {
        QFETCH(QString, model);
        QFETCH(int, size);
        QFETCH(QList<int>, packetLengths);
        QFETCH(bool, busy);
        QFETCH(bool, split);
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        ScalerFixture f;
        QSignalSpy events(f.scaler.get(), &Scaler::firmwareUpdateEvent);
        ScalerSim sim;
        sim.setBootLoaderVariant(ScalerSim::BootLoaderVariant::Zarrick);
        QVERIFY(sim.start(ScalerSim::zarrickIdentity(model)));
        sim.enterBootLoader();
        sim.setFirstPingBusy(busy);
        if (split) {
            sim.addBootFault(Fault::SplitAnswer, 0x23, 1);
            sim.addBootFault(Fault::SplitAnswer, 0x24, 1);
        }
        f.selectProductText(model);
        QTemporaryDir dir;
        const QByteArray image = pattern(size, 3);
        writeFile(dir.filePath(QStringLiteral("pkg/fw.bin")), image);
        f.ui.firmwareFolder->setText(dir.filePath(QStringLiteral("pkg")));
        f.ui.updateFilename_2->setText(dir.filePath(QStringLiteral("fw.bin.zip")));

        f.scaler->initiateOSTRANDFirmwareUpdate();

        QCOMPARE(dialogs.shown().size(), 1);
        QCOMPARE(dialogs.shown().first().text, QStringLiteral("Firmware update successful!!"));
        QCOMPARE(sim.bootLoaderImage(), image);
        QCOMPARE(sim.announcedSize(), qint64(size));
        QList<int> lengths;
        for (const QByteArray& p : sim.bootLoaderPackets()) {
            if (quint8(p.at(2)) == 0x24)
                lengths.append(quint8(p.at(0)));
        }
        QCOMPARE(lengths, packetLengths);
        QCOMPARE(quint8(sim.bootLoaderPackets().last().at(2)), quint8(0x25));
        QCOMPARE(f.ui.updateBar_2->value(), 100);
        QCOMPARE(f.ui.updateBarNumber_2->text(), QStringLiteral("100%"));
        QCOMPARE(f.scaler->availability, int(Scaler::AVAILABLE));
        QVERIFY(!f.scaler->serialPort->isOpen());
        QVERIFY(runEnded(events));
    }

    // The download packet carries the size most significant byte first.
    void zarrickDownloadPacket()
    {
        QCOMPARE(Scaler::bootLoaderPacket(0x21, QByteArray::fromHex("0000400000012345")),
                 QByteArray::fromHex("0bca210000400000012345"));
    }

    void zarrickFailures_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<int>("code");
        QTest::newRow("silent ping") << int(Fault::Silence) << 0x20 << 0 << 6; // every ping
        QTest::newRow("download refused") << int(Fault::Nak) << 0x21 << 1 << 1;
        QTest::newRow("bad status after download") << int(Fault::BadStatus) << 0x23 << 1 << 2;
        QTest::newRow("byte too many in the status") << int(Fault::ExtraByte) << 0x23 << 1 << 2;
        QTest::newRow("data packet refused") << int(Fault::Nak) << 0x24 << 2 << 3;
        QTest::newRow("stray prompt before an ack") << int(Fault::StrayPrompt) << 0x24 << 1 << 3;
        QTest::newRow("silent after a data packet") << int(Fault::Silence) << 0x24 << 3 << 3;
        QTest::newRow("bad status after data") << int(Fault::BadStatus) << 0x23 << 2 << 4;
        QTest::newRow("reset not acknowledged") << int(Fault::Silence) << 0x25 << 1 << 5;
    }
    void zarrickFailures()
    {
        QFETCH(int, fault);
        QFETCH(int, command);
        QFETCH(int, occurrence);
        QFETCH(int, code);
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        ScalerFixture f;
        QSignalSpy events(f.scaler.get(), &Scaler::firmwareUpdateEvent);
        ScalerSim sim;
        sim.setBootLoaderVariant(ScalerSim::BootLoaderVariant::Zarrick);
        QVERIFY(sim.start(ScalerSim::zarrickIdentity()));
        sim.enterBootLoader();
        if (occurrence == 0) {
            for (int i = 1; i <= 20; ++i)
                sim.addBootFault(Fault(fault), quint8(command), i);
        } else {
            sim.addBootFault(Fault(fault), quint8(command), occurrence);
        }
        f.selectProductText(MODEL_ZARRICK);
        QTemporaryDir dir;
        const QByteArray image = pattern(4 * 76, 5);
        writeFile(dir.filePath(QStringLiteral("fw.bin")), image);
        f.ui.firmwareFolder->setText(dir.path());

        f.scaler->initiateOSTRANDFirmwareUpdate();

        QCOMPARE(dialogs.shown().size(), 1);
        QCOMPARE(dialogs.shown().first().title, QStringLiteral("Firmware update"));
        QCOMPARE(dialogs.shown().first().text,
                 QStringLiteral("Firmware update failed!!\nPlease try again. Err ") + QString::number(code));
        QCOMPARE(f.ui.updateBar_2->value(), 0);
        QCOMPARE(f.ui.updateBarNumber_2->text(), QStringLiteral("0%"));
        QCOMPARE(f.scaler->availability, int(Scaler::AVAILABLE));
        QVERIFY(!f.scaler->serialPort->isOpen());
        QVERIFY(runEnded(events));
        // The unit waits in its boot loader; the next run delivers the file.
        if (code != 5) {
            QVERIFY(sim.inBootLoader());
            sim.clearBootFaults();
            dialogs.clear();
            f.scaler->initiateOSTRANDFirmwareUpdate();
            QCOMPARE(dialogs.shown().size(), 1);
            QCOMPARE(dialogs.shown().first().text, QStringLiteral("Firmware update successful!!"));
            QCOMPARE(sim.bootLoaderImage(), image);
        }
    }

    // Which file of the package is flashed, and the port: the last matching one listed.
    void zarrickChoosesFileAndPort_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("flashed"); // empty: nothing sent
        QTest::newRow("named by the archive") << QStringList {"A.bin", "b.bin", "c.bin"} << "b.bin.zip" << "b.bin";
        QTest::newRow("the only image") << QStringList {"only.bin", "notes.txt"} << "other.zip" << "only.bin";
        QTest::newRow("no image named") << QStringList {"a.bin", "b.bin"} << "c.zip" << "";
        QTest::newRow("no image at all") << QStringList {"notes.txt"} << "c.zip" << "";
    }
    void zarrickChoosesFileAndPort()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, archive);
        QFETCH(QString, flashed);
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        ScalerFixture f;
        QSignalSpy events(f.scaler.get(), &Scaler::firmwareUpdateEvent);
        // Two units whose ports both match: the one listed last is used.
        ScalerSim first;
        first.setBootLoaderVariant(ScalerSim::BootLoaderVariant::Zarrick);
        QVERIFY(first.start(ScalerSim::zarrickIdentity(MODEL_CAVROSH)));
        first.enterBootLoader();
        ScalerSim sim;
        sim.setBootLoaderVariant(ScalerSim::BootLoaderVariant::Zarrick);
        QVERIFY(sim.start(ScalerSim::zarrickIdentity()));
        sim.enterBootLoader();
        f.selectProductText(MODEL_ZARRICK);
        QTemporaryDir dir;
        for (int i = 0; i < files.size(); ++i)
            writeFile(dir.filePath(files.at(i)), pattern(100 + i, i));
        f.ui.firmwareFolder->setText(dir.path());
        f.ui.updateFilename_2->setText(QStringLiteral("/downloads/") + archive);

        f.scaler->initiateOSTRANDFirmwareUpdate();

        QVERIFY(first.bootLoaderPackets().isEmpty());
        QVERIFY(runEnded(events));
        if (flashed.isEmpty()) {
            QVERIFY(sim.bootLoaderPackets().isEmpty());
            QCOMPARE(dialogs.shown().size(), 1);
            QVERIFY(dialogs.shown().first().kind == DialogBackend::Kind::Critical);
        } else {
            QCOMPARE(sim.bootLoaderImage(), readFile(dir.filePath(flashed)));
        }
    }

    void zarrickWithoutPort()
    {
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        ScalerFixture f;
        QSignalSpy events(f.scaler.get(), &Scaler::firmwareUpdateEvent);
        f.selectProductText(MODEL_ZARRICK);
        f.scaler->initiateOSTRANDFirmwareUpdate();
        QCOMPARE(dialogs.shown().size(), 1);
        QCOMPARE(dialogs.shown().first().text, QStringLiteral("Device driver not detected.\n"));
        QVERIFY(runEnded(events));
    }

    // ---- Jovaris family: USB drive ----

    // Norrith and Surrow: drive found by exact path (a new drive whose path lies inside a listed
    // one's), both copies verified, "Success" ends the polling.
    void usbDriveNorrithSurrow_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("Norrith") << MODEL_NORRITH << "NORRITH_FW.bin" << true;
        QTest::newRow("Surrow") << MODEL_SURROW << "FENNICK_FW.bin" << true;
        QTest::newRow("Norrith silent") << MODEL_NORRITH << "NORRITH_FW.bin" << false;
    }
    void usbDriveNorrithSurrow()
    {
        QFETCH(QString, model);
        QFETCH(QString, file);
        QFETCH(bool, succeeds);
        ScalerFixture f;
        DriveDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        QSignalSpy events(f.scaler.get(), &Scaler::firmwareUpdateEvent);
        SimDevice unit;
        unit.setTerminator("\r\n");
        QVERIFY(unit.startPty());
        if (succeeds) {
            unit.addRule(SimRule::exact("#FIRMWARE_UPDATE").respond([&unit](const QString&) {
                unit.schedule(400, [&unit] { unit.push("UPDATE Success\r\n"); });
                return QByteArray("#FIRMWARE_UPDATE\r\n>");
            }));
        } else {
            unit.addRule(SimRule::exact("#FIRMWARE_UPDATE").reply("#FIRMWARE_UPDATE\r\n>"));
        }
        f.selectProductText(model);
        f.scaler->serialPortName = unit.portName();
        f.scaler->baudRateText = QStringLiteral("9600");
        QTemporaryDir dir;
        const QByteArray image = pattern(3000, 9);
        writeFile(dir.filePath(QStringLiteral("pkg/") + file), image);
        f.ui.firmwareFolder->setText(dir.filePath(QStringLiteral("pkg")));
        const QString outer = dir.path() + QStringLiteral("/outer") + dir.path() + QStringLiteral("/drive");
        const QString drive = dir.path() + QStringLiteral("/drive/");
        QDir().mkpath(outer);
        QDir().mkpath(drive);
        RemovableDriveLister::registerDrive(outer);
        int asked = 0;
        dialogs.onMessage = [&](const QString& text) {
            if (text.startsWith(QLatin1String("Please connect empty USB drive")) && ++asked == 2)
                RemovableDriveLister::registerDrive(drive); // plugged in only after the first OK
        };
        dialogs.answerButton(QMessageBox::Ok);
        dialogs.answerButton(QMessageBox::Ok);
        dialogs.answerButton(QMessageBox::Ok); // move-drive

        f.scaler->initiateJOVARISFirmwareUpdate();

        QCOMPARE(asked, 2);
        QCOMPARE(readFile(drive + QStringLiteral("MERGE.BIN")), image);
        QCOMPARE(readFile(drive + file), image);
        QVERIFY(QDir(outer).entryList(QDir::Files).isEmpty());
        QCOMPARE(unit.requestCount(QStringLiteral("#FIRMWARE_UPDATE")), 1);
        QCOMPARE(dialogs.shown().last().text,
                 succeeds ? QStringLiteral("Firmware update successful!!\nPlease disconnect the USB drive from the unit.")
                          : QStringLiteral("Firmware update failed!\nPlease disconnect the unit from PC, power cycle it and try again."));
        QCOMPARE(f.ui.updateBar_2->value(), 100);
        QCOMPARE(f.ui.updateBarNumber_2->text(), QStringLiteral("100%"));
        QCOMPARE(f.scaler->availability, int(Scaler::AVAILABLE));
        QVERIFY(runEnded(events));
    }

    // Jovaris: "error" in the first pass sends the command again; "Finished" leads to the unit's
    // own drive, which confirms with SUCCESS.TXT (one left from an earlier run does not count).
    void usbDriveJovaris_data()
    {
        QTest::addColumn<QStringList>("answers"); // the unit's word after each command
        QTest::addColumn<bool>("confirms");
        QTest::addColumn<int>("commands");
        QTest::addColumn<QString>("verdict");
        const QString doneUnit = "Firmware update successful!!\nPlease disconnect the unit from PC and power cycle it.";
        const QString failed = "Firmware update failed!\nPlease disconnect the unit from PC, power cycle it and try again.";
        QTest::newRow("finished at once") << QStringList {"UpdateFinished"} << true << 1 << doneUnit;
        QTest::newRow("error, then finished") << QStringList {"error", "Finished"} << true << 2 << doneUnit;
        QTest::newRow("error twice") << QStringList {"error", "error"} << true << 2 << failed;
        QTest::newRow("capital ERROR is no error") << QStringList {"ERROR", "Finished"} << true << 2 << doneUnit;
        QTest::newRow("no confirmation") << QStringList {"Finished"} << false << 1 << failed;
    }
    void usbDriveJovaris()
    {
        QFETCH(QStringList, answers);
        QFETCH(bool, confirms);
        QFETCH(int, commands);
        QFETCH(QString, verdict);
        ScalerFixture f;
        DriveDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        QSignalSpy events(f.scaler.get(), &Scaler::firmwareUpdateEvent);
        SimDevice unit;
        unit.setTerminator("\r\n");
        QVERIFY(unit.startPty());
        auto sent = std::make_shared<int>(0);
        unit.addRule(SimRule::exact("#FIRMWARE_UPDATE").respond([&unit, answers, sent](const QString&) {
            const QByteArray word = answers.value((*sent)++).toLatin1();
            unit.schedule(300, [&unit, word] { unit.push(word + "\r\n"); });
            return QByteArray("#FIRMWARE_UPDATE\r\n>");
        }));
        f.selectProductText(MODEL_JOVARIS);
        f.scaler->serialPortName = unit.portName();
        f.scaler->baudRateText = QStringLiteral("115200");
        QTemporaryDir dir;
        const QByteArray image = pattern(2000, 1);
        const QByteArray second = pattern(500, 2);
        writeFile(dir.filePath(QStringLiteral("pkg/JOVARIS_FW.bin")), image);
        writeFile(dir.filePath(QStringLiteral("pkg/VELMO21.BIN")), second);
        f.ui.firmwareFolder->setText(dir.filePath(QStringLiteral("pkg")));
        const QString stick = dir.path() + QStringLiteral("/stick/");
        const QString unitDrive = dir.path() + QStringLiteral("/unit/");
        QDir().mkpath(stick);
        writeFile(unitDrive + QStringLiteral("SUCCESS.TXT"), "old"); // from an earlier run
        dialogs.onMessage = [&](const QString& text) {
            if (text.startsWith(QLatin1String("Please connect empty USB drive")))
                RemovableDriveLister::registerDrive(stick);
            if (text.startsWith(QLatin1String("1. Please disconnect")))
                RemovableDriveLister::registerDrive(unitDrive);
        };
        // The unit confirms once the second-stage file is on its drive.
        QTimer unitWrites;
        QObject::connect(&unitWrites, &QTimer::timeout, [&] {
            if (confirms && readFile(unitDrive + QStringLiteral("VELMO21.BIN")) == second)
                writeFile(unitDrive + QStringLiteral("SUCCESS.TXT"), "ok");
        });
        unitWrites.start(10);
        for (int i = 0; i < 3; ++i)
            dialogs.answerButton(QMessageBox::Ok);

        f.scaler->initiateJOVARISFirmwareUpdate();

        QCOMPARE(unit.requestCount(QStringLiteral("#FIRMWARE_UPDATE")), commands);
        QCOMPARE(readFile(stick + QStringLiteral("MERGE.BIN")), image);
        QCOMPARE(readFile(stick + QStringLiteral("JOVARIS_FW.bin")), image);
        QCOMPARE(dialogs.count(QStringLiteral("1. Please disconnect")), verdict.contains("successful") || !confirms ? 1 : 0);
        QCOMPARE(dialogs.shown().last().text, verdict);
        QCOMPARE(f.scaler->availability, int(Scaler::AVAILABLE));
        QVERIFY(runEnded(events));
    }

    // A copy that does not arrive intact stops the flow before the unit is told; Cancel ends it
    // silently.
    void usbDriveStops_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("firmware missing from the package") << false;
        QTest::newRow("cancel at connect-drive") << true;
    }
    void usbDriveStops()
    {
        QFETCH(bool, cancel);
        ScalerFixture f;
        DriveDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        QSignalSpy events(f.scaler.get(), &Scaler::firmwareUpdateEvent);
        SimDevice unit;
        unit.setTerminator("\r\n");
        QVERIFY(unit.startPty());
        f.selectProductText(MODEL_NORRITH);
        f.scaler->serialPortName = unit.portName();
        QTemporaryDir dir;
        f.ui.firmwareFolder->setText(dir.filePath(QStringLiteral("empty")));
        const QString drive = dir.path() + QStringLiteral("/drive/");
        QDir().mkpath(drive);
        dialogs.onMessage = [&](const QString&) { RemovableDriveLister::registerDrive(drive); };
        dialogs.answerButton(cancel ? QMessageBox::Cancel : QMessageBox::Ok);

        f.scaler->initiateJOVARISFirmwareUpdate();

        QCOMPARE(dialogs.shown().size(), cancel ? 1 : 2);
        if (!cancel)
            QVERIFY(dialogs.shown().last().text.contains(QStringLiteral("Copying the firmware")));
        QVERIFY(unit.received().isEmpty());
        QVERIFY(runEnded(events));
    }

private:
    double baseFactor = 0.02; // the run's own time scale; a test may only make it gentler
};

PLEXA_TEST_MAIN(TestScalerFirmware)
#include "tst_scaler_firmware.moc"
