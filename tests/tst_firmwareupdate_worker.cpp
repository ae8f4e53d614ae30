// The serial upload worker on its own thread against the units simulated on a pty: the YMODEM-1K
// style frames byte for byte (block 0, 1K padding, block-number wrap, EOT, closing block), the
// package's commands, progress and console, NAKs, silence, a unit that vanishes, configuration
// errors refused before the unit is touched; and the Intel HEX boot loader (sync, echoed
// set-address commands, 512-byte blocks, faults).
//
// The units' variant sends two zero bytes where standard YMODEM has the CRC-16; a standard
// receiver (lrzsz's `rb`) refuses every such block, so only the units' own receiver is a peer here.
#include "plexatest.h"
#include "serialfwsim.h"
#include "serialports.h"
#include "timescale.h"
#include "upgradeworker.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

namespace {

QByteArray fileOf(int size, quint32 seed)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator rng(seed);
    for (char& c : data)
        c = char(rng.bounded(256));
    return data;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

FwCommand command(const QString& text, bool crlf, int delayMillis = 100)
{
    FwCommand c;
    c.text = text;
    c.crlf = crlf;
    c.delayMillis = delayMillis;
    return c;
}

FwFile fwFile(const QString& name, const QList<FwCommand>& commands, const QString& success = "Upgrade OK")
{
    FwFile f;
    f.fileName = name;
    f.successMsg = success;
    f.commands = commands;
    return f;
}

// The boot loader's sync waits 50 ms per try and drops what comes within 200 ms after it: at the
// tests' usual scale those are a millisecond or two, less than a loaded machine takes to carry a
// byte across the pty and back. The boot-loader runs take a slower clock.
struct BootLoaderTime {
    double factor = TimeScale::factor();
    BootLoaderTime() { TimeScale::setFactor(qMax(factor, 0.2)); }
    ~BootLoaderTime() { TimeScale::setFactor(factor); }
};

// What one run of the worker reported, in order.
struct Outcome {
    bool finished = false;
    QString error;
    QList<QPair<int, int>> progress;
    QStringList messages;
    QString console;
    bool consoleOnWorkerThread = true;
    bool ended() const { return finished || !error.isEmpty(); }
};

// Runs a worker the way the page does: its own QThread, started by started(), reporting by
// queued signals; returns when it has finished or failed.
Outcome run(const QString& port, const FwProduct& product, const QString& productName, int timeoutMs = 30000)
{
    Outcome out;
    auto* thread = new QThread;
    auto* worker = new UpgradeWorker(port, product, productName);
    worker->moveToThread(thread);
    QObject context;
    QObject::connect(thread, &QThread::started, worker, &UpgradeWorker::process);
    QObject::connect(worker, &UpgradeWorker::finished, &context, [&] { out.finished = true; });
    QObject::connect(worker, &UpgradeWorker::error, &context, [&](const QString& e) { out.error = e; });
    QObject::connect(worker, &UpgradeWorker::updateProgressBar, &context,
                     [&](int value, int total) { out.progress.append({value, total}); });
    QObject::connect(worker, &UpgradeWorker::updateMessage, &context, [&](const QString& m) { out.messages.append(m); });
    QObject::connect(worker, &UpgradeWorker::updateConsole, &context, [&](const QString& m) { out.console += m; });
    // The port's readyRead must reach the worker on its own thread, inside its delay() waits.
    QObject::connect(
        worker, &UpgradeWorker::updateConsole, worker,
        [&, thread] {
            if (QThread::currentThread() != thread)
                out.consoleOnWorkerThread = false;
        },
        Qt::DirectConnection);
    thread->start();
    const QDeadlineTimer deadline(timeoutMs);
    while (!out.ended() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    thread->quit();
    thread->wait(5000);
    delete worker;
    delete thread;
    QCoreApplication::processEvents();
    return out;
}

} // namespace

class TestFirmwareUpdateWorker : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    FwProduct productWith(const QList<FwFile>& files)
    {
        FwProduct p;
        p.baudRate = "19200";
        p.dataBits = "8";
        p.parity = "N";
        p.stopBits = "1";
        p.flowControl = "OFF";
        p.directory = dir.path();
        p.files = files;
        return p;
    }

private slots:
    void initTestCase()
    {
        SerialPortLister::setSystemPortsListed(false);
        QVERIFY(dir.isValid());
    }

    // Two files: one of 1025 bytes after two commands (one with CR LF, one bare), one of 257 KiB
    // (no padding, block numbers wrap past 255) with a processing delay.
    void ymodemFramesAreExact()
    {
        SerialFwUnitSim unit;
        QVERIFY(unit.startPty());
        const QByteArray first = fileOf(1025, 1);
        const QByteArray second = fileOf(257 * 1024, 2);
        QVERIFY(writeFile(dir.filePath("app_v2.bin"), first));
        QVERIFY(writeFile(dir.filePath("dsp_v1.bin"), second));
        FwFile app = fwFile("app_v2.bin", {command("#PREP", true), command("#FW_UPGRADE", false)});
        FwFile dsp = fwFile("dsp_v1.bin", {command("#FW_UPGRADE", true)});
        dsp.downloadDelayMillis = 2500;

        const Outcome out = run(unit.portName(), productWith({app, dsp}), "Lorvane");
        QVERIFY2(out.finished, qPrintable(out.error));
        QVERIFY(unit.errors().isEmpty());
        QVERIFY(unit.commandBytes().startsWith("#PREP\r\n#FW_UPGRADE"));

        const QList<SerialFwUnitSim::Transfer> transfers = unit.transfers();
        QCOMPARE(transfers.size(), 2);
        const SerialFwUnitSim::Transfer& t = transfers.at(0);
        QCOMPARE(t.name, QString("app_v2.bin"));
        QCOMPARE(t.line, QString("19200 8N1"));
        QCOMPARE(t.data, first);
        QCOMPARE(t.frames.size(), 5); // block 0, two data blocks, EOT, closing block
        QByteArray header = QByteArray("\x01\x00\xFF", 3) + "app_v2.bin" + QByteArray(1, '\0') + "1025";
        header += QByteArray(133 - header.size(), '\0');
        QCOMPARE(t.frames.at(0), header);
        const QByteArray last = QByteArray("\x02\x02\xFD", 3) + first.right(1) + QByteArray(1023, '\x1A') + QByteArray(2, '\0');
        QCOMPARE(t.frames.at(2), last);
        QCOMPARE(t.frames.at(3), QByteArray(1, '\x04'));
        QCOMPARE(t.frames.at(4), QByteArray("\x01\x00\xFF", 3) + QByteArray(130, '\0'));

        const SerialFwUnitSim::Transfer& w = transfers.at(1);
        QCOMPARE(w.data, second);
        QCOMPARE(w.frames.size(), 1 + 257 + 2);
        QCOMPARE(quint8(w.frames.at(255).at(1)), quint8(255));
        QCOMPARE(quint8(w.frames.at(256).at(1)), quint8(0));
        QCOMPARE(quint8(w.frames.at(256).at(2)), quint8(0xFF));
        QCOMPARE(quint8(w.frames.at(257).at(1)), quint8(1));

        // Progress: the true byte counts, then the processing count of the second file.
        QCOMPARE(out.progress.mid(0, 3), (QList<QPair<int, int>>{{0, 1025}, {1024, 1025}, {1025, 1025}}));
        QCOMPARE(out.progress.at(3), qMakePair(0, 257 * 1024));
        QCOMPARE(out.progress.mid(out.progress.size() - 3),
                 (QList<QPair<int, int>>{{0, 2500}, {1000, 2500}, {2000, 2500}}));
        QCOMPARE(out.messages, (QStringList{"Uploading file: app_v2.bin", "Uploading file: dsp_v1.bin",
                                            "Please wait. Processing. "}));
        QVERIFY(out.console.contains("Upgrade OK"));
        QVERIFY(out.consoleOnWorkerThread);
    }

    void unitFaults_data()
    {
        QTest::addColumn<int>("fault");   // 0 nak, 1 silence, 2 vanish
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("framesHeard");
        const QString nak = "NAK/Time Out!!";
        QTest::newRow("NAK on block 0") << 0 << 0 << nak << 1;
        QTest::newRow("NAK on block 2") << 0 << 2 << nak << 3;
        // The sender never repeats EOT.
        QTest::newRow("NAK on EOT") << 0 << int(SerialFwUnitSim::Eot) << nak << 4;
        QTest::newRow("silence after the closing block") << 1 << int(SerialFwUnitSim::Closing) << nak << 5;
        QTest::newRow("unplugged at block 2") << 2 << 2 << nak << 3;
        // Data and EOT acknowledged, then gone: delivered, not confirmed.
        QTest::newRow("unplugged at the closing block")
            << 2 << int(SerialFwUnitSim::Closing)
            << "The unit took the whole file, but its link ended before it confirmed the update. Please check the unit."
            << 5;
    }
    void unitFaults()
    {
        QFETCH(int, fault);
        QFETCH(int, key);
        QFETCH(QString, error);
        QFETCH(int, framesHeard);
        SerialFwUnitSim unit;
        SerialFwUnitSim::Script script;
        if (fault == 0)
            script.nak[key] = 1;
        else if (fault == 1)
            script.ignore[key] = 1;
        else
            script.vanishAt = key + 1000;
        unit.setScript(script);
        QVERIFY(unit.startPty());
        QVERIFY(writeFile(dir.filePath("fw.bin"), fileOf(2000, 3))); // two data blocks
        const Outcome out = run(unit.portName(), productWith({fwFile("fw.bin", {command("#FW_UPGRADE", true)})}), "Jastric");
        QVERIFY(!out.finished);
        QCOMPARE(out.error, error);
        QCOMPARE(unit.transfers().value(0).frames.size(), framesHeard);
    }

    void silentUnitTimesOut()
    {
        SerialFwUnitSim unit;
        SerialFwUnitSim::Script script;
        script.silent = true;
        unit.setScript(script);
        QVERIFY(unit.startPty());
        QVERIFY(writeFile(dir.filePath("fw.bin"), fileOf(100, 4)));
        const Outcome out = run(unit.portName(), productWith({fwFile("fw.bin", {command("#FW_UPGRADE", true)})}), "Harvane");
        QCOMPARE(out.error, QString("Time Out!!"));
    }

    // The unit's text before the transfer does not count: only what it prints after the closing
    // block's acknowledgement confirms the file.
    void successTextOnlyAfterTheClosingBlock()
    {
        SerialFwUnitSim unit;
        SerialFwUnitSim::Script script;
        script.banner = "Ready. Last result: Upgrade OK\r\n";
        script.successText = "\r\nFailed\r\n";
        unit.setScript(script);
        QVERIFY(unit.startPty());
        QVERIFY(writeFile(dir.filePath("fw.bin"), fileOf(3000, 5)));
        const Outcome out = run(unit.portName(), productWith({fwFile("fw.bin", {command("#FW_UPGRADE", true)})}), "Kalvisk");
        QCOMPARE(out.error, QString("File upload has failed! please contact Velmo's support"));
        QCOMPARE(unit.transfers().value(0).done, true);
    }

    // Refused before the port is opened: the unit hears nothing.
    void packageFaultsTouchNothing_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("error");
        QTest::newRow("no files") << "nofiles" << "No firmware file in the package!!";
        QTest::newRow("empty success text") << "nosuccess" << "The package gives no success message for fw.bin!!";
        QTest::newRow("missing file") << "missing" << "Can't open file!!";
        QTest::newRow("FIFO") << "fifo" << "Can't open file!!";
        QTest::newRow("name too long") << "longname" << "File name too long for the transfer!!";
    }
    void packageFaultsTouchNothing()
    {
        QFETCH(QString, fault);
        QFETCH(QString, error);
        SerialFwUnitSim unit;
        QVERIFY(unit.startPty());
        QVERIFY(writeFile(dir.filePath("fw.bin"), fileOf(100, 6)));
        FwFile file = fwFile("fw.bin", {command("#FW_UPGRADE", true)});
        QList<FwFile> files{file};
        if (fault == "nofiles")
            files.clear();
        else if (fault == "nosuccess")
            files[0].successMsg.clear();
        else if (fault == "missing")
            files[0].fileName = "gone.bin";
        else if (fault == "fifo") {
            QVERIFY(QProcess::execute("mkfifo", {dir.filePath("pipe.bin")}) == 0);
            files[0].fileName = "pipe.bin";
        } else if (fault == "longname") {
            files[0].fileName = QString(126, 'n') + ".bin";
            QVERIFY(writeFile(dir.filePath(files[0].fileName), "x"));
        }
        const Outcome out = run(unit.portName(), productWith(files), "Jurmont", 10000);
        QCOMPARE(out.error, error);
        QCOMPARE(unit.received(), QByteArray());
    }

    void unopenablePortIsReported()
    {
        QVERIFY(writeFile(dir.filePath("fw.bin"), fileOf(100, 7)));
        const Outcome out = run(dir.filePath("no-such-port"), productWith({fwFile("fw.bin", {})}), "Jurmont", 10000);
        QCOMPARE(out.error, QString("Can't open port!!"));
    }

    // ---- Intel HEX boot loader ----

    void bootLoaderUpload()
    {
        // objcopy's file (CR LF, segment and start records) of 1000 bytes from 0x100: 1256 bytes
        // of image, three blocks, the last one padded with 0xFF.
        const QByteArray data = fileOf(1000, 8);
        QVERIFY(writeFile(dir.filePath("fw.raw"), data));
        QCOMPARE(QProcess::execute("objcopy", {"-I", "binary", "-O", "ihex", "--change-addresses", "0x100",
                                               dir.filePath("fw.raw"), dir.filePath("boot.hex")}),
                 0);
        BootLoaderTime time;
        HexBootSim boot;
        HexBootSim::Script script;
        script.syncOnTry = 3;
        boot.setScript(script);
        QVERIFY(boot.startPty());
        FwProduct product = productWith({fwFile("boot.hex", {}), fwFile("never.hex", {})});
        product.baudRate = "19200"; // ignored: the boot loader's line is fixed
        const Outcome out = run(boot.portName(), product, "Pelmorr-RX");
        QVERIFY2(out.finished, qPrintable(out.error));
        QCOMPARE(boot.line(), QString("57600 8N1"));
        QVERIFY(boot.syncBytesHeard() >= 3);
        QCOMPARE(boot.addresses(), (QList<int>{0x00, 0x02, 0x04}));
        QByteArray expected(0x10000, char(0xFF));
        expected.replace(0x100, data.size(), data);
        QCOMPARE(boot.flash(), expected);
        QCOMPARE(out.progress, (QList<QPair<int, int>>{{0, 3}, {0, 3}, {1, 3}, {2, 3}, {3, 3}}));
        QCOMPARE(out.messages, QStringList{"Uploading file: boot.hex"});
    }

    void bootLoaderFaults_data()
    {
        QTest::addColumn<int>("syncOnTry");
        QTest::addColumn<int>("echoWrongAt");
        QTest::addColumn<int>("noAckAt");
        QTest::addColumn<QString>("error");
        QTest::newRow("never syncs") << 100 << -1 << -1 << "Time Out!!";
        QTest::newRow("echo mismatch") << 1 << 1 << -1 << "Set addr failed!";
        QTest::newRow("no 0x5A") << 1 << -1 << 0 << "Write flash failed!";
    }
    void bootLoaderFaults()
    {
        QFETCH(int, syncOnTry);
        QFETCH(int, echoWrongAt);
        QFETCH(int, noAckAt);
        QFETCH(QString, error);
        QVERIFY(writeFile(dir.filePath("two.hex"), ":10000000000102030405060708090A0B0C0D0E0F78\r\n"
                                                   ":10040000000102030405060708090A0B0C0D0E0F74\r\n"
                                                   ":00000001FF\r\n"));
        BootLoaderTime time;
        HexBootSim boot;
        HexBootSim::Script script;
        script.syncOnTry = syncOnTry;
        script.echoWrongAt = echoWrongAt;
        script.noAckAt = noAckAt;
        boot.setScript(script);
        QVERIFY(boot.startPty());
        const Outcome out = run(boot.portName(), productWith({fwFile("two.hex", {})}), "Rindale-TX");
        QCOMPARE(out.error, error);
    }

    void badHexTouchesNothing()
    {
        QVERIFY(writeFile(dir.filePath("bad.hex"), ":10000000000102030405060708090A0B0C0D0E0F79\r\n:00000001FF\r\n"));
        HexBootSim boot;
        QVERIFY(boot.startPty());
        const Outcome out = run(boot.portName(), productWith({fwFile("bad.hex", {})}), "Pelmorr-TX");
        QVERIFY2(out.error.startsWith("Invalid HEX file!!"), qPrintable(out.error));
        QVERIFY(out.error.contains("checksum"));
        QCOMPARE(boot.received(), QByteArray());
    }
};

PLEXA_TEST_MAIN(TestFirmwareUpdateWorker)
#include "tst_firmwareupdate_worker.moc"
