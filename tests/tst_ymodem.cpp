// The YMODEM engine: frames and block 0 against known vectors; the sender against lrzsz's `rb`
// and the receiver against `sb` over a pty; the sender in the scalers' variant against a
// simulated unit that answers NAK, stays silent, prints junk between its "W" and its "C", answers
// late or not at all.
#include "plexatest.h"
#include "lrzszbridge.h"
#include "serialports.h"
#include "timescale.h"
#include "ymodem.h"
#include "ymodemunitsim.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QTemporaryDir>

namespace {

QByteArray bytesOf(const char* data, int size)
{
    return QByteArray(data, size);
}

// Bytes of every value, the same for the same size.
QByteArray fileOf(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator rng(quint32(size) * 2654435761u);
    for (char& c : data)
        c = char(rng.bounded(256));
    return data;
}

bool openPort(QSerialPort& port, const QString& name)
{
    port.setPortName(name);
    port.setBaudRate(115200);
    return port.open(QIODevice::ReadWrite);
}

// Real peers run on their own clock: the engine's waits must not be shrunk below theirs.
struct RealTime {
    double factor = TimeScale::factor();
    RealTime() { TimeScale::setFactor(1.0); }
    ~RealTime() { TimeScale::setFactor(factor); }
};

} // namespace

class TestYmodem : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SerialPortLister::setSystemPortsListed(false);
    }

    // Frame layout and check bytes; the CRCs are CRC-16/XMODEM of the data field, worked out
    // independently (Python's binascii.crc_hqx).
    void frames_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("head"); // the frame starts so
        QTest::addColumn<char>("fill");       // ... then this byte up to the check bytes
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("check");
        QTest::addColumn<bool>("crc");

        QTest::newRow("block 0 of a 256-byte edid.bin")
            << Ymodem::headerFrame(QStringLiteral("/tmp/edids/edid.bin"), 256) << bytesOf("\x01\x00\xff" "edid.bin\0" "256\0", 16)
            << '\0' << 133 << bytesOf("\x56\x91", 2) << true;
        QTest::newRow("closing block") << Ymodem::closingFrame() << bytesOf("\x01\x00\xff", 3) << '\0' << 133
                                       << bytesOf("\x00\x00", 2) << true;
        QTest::newRow("1K block, short data padded with SUB")
            << Ymodem::frame(1, "123456789", 1024) << bytesOf("\x02\x01\xfe" "123456789", 12) << '\x1a' << 1029
            << bytesOf("\xd0\x8f", 2) << true;
        QTest::newRow("block 256 numbered 0") << Ymodem::frame(256, QByteArray(1024, 'x'), 1024)
                                              << bytesOf("\x02\x00\xff", 3) << 'x' << 1029 << bytesOf("\x96\x3f", 2)
                                              << true;
        QTest::newRow("128-byte block") << Ymodem::frame(3, "ab", 128) << bytesOf("\x01\x03\xfc" "ab", 5) << '\x1a'
                                        << 133 << bytesOf("\xb0\xc7", 2) << true;
        QTest::newRow("zero check bytes") << Ymodem::frame(1, "123456789", 1024, Ymodem::Check::Zero)
                                          << bytesOf("\x02\x01\xfe" "123456789", 12) << '\x1a' << 1029
                                          << bytesOf("\x00\x00", 2) << false;
    }

    void frames()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, head);
        QFETCH(char, fill);
        QFETCH(int, size);
        QFETCH(QByteArray, check);
        QFETCH(bool, crc);

        QCOMPARE(frame.size(), size);
        QCOMPARE(frame.left(head.size()), head);
        QCOMPARE(frame.mid(head.size(), size - 2 - head.size()), QByteArray(size - 2 - head.size(), fill));
        QCOMPARE(frame.right(2), check);

        // What a receiver makes of it, and of it damaged.
        const Ymodem::Check mode = crc ? Ymodem::Check::Crc16 : Ymodem::Check::Zero;
        QByteArray data;
        quint8 number = 0;
        QVERIFY(Ymodem::checkFrame(frame, mode, &number, &data));
        QCOMPARE(number, quint8(frame.at(1)));
        QCOMPARE(data, frame.mid(3, size - 5));
        QByteArray damaged = frame;
        damaged[10] = char(damaged.at(10) ^ 0x01);
        QCOMPARE(Ymodem::checkFrame(damaged, Ymodem::Check::Crc16), false);
        QVERIFY(Ymodem::checkFrame(damaged, Ymodem::Check::Zero)); // zero check bytes are not compared
        damaged = frame;
        damaged[2] = char(damaged.at(2) ^ 0x01);
        QVERIFY(!Ymodem::checkFrame(damaged, mode));
        QVERIFY(!Ymodem::checkFrame(frame.chopped(1), mode));
    }

    // Block 0 never overflows: long names are shortened, whole characters only, the extension
    // kept where it is short; the receiver reads back the name and size put in.
    void headerName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("name");

        QTest::newRow("folder dropped") << "/home/u/edids/edid.bin" << qint64(256) << "edid.bin";
        QTest::newRow("Windows folder dropped") << "C:\\EDIDs\\monitor.bin" << qint64(128) << "monitor.bin";
        QTest::newRow("no name") << "" << qint64(0) << "file";
        // 128 = name + NUL + "256" + NUL: 123 bytes for the name.
        QTest::newRow("long name, extension kept") << QString(200, 'n') + ".bin" << qint64(256)
                                                   << QString(119, 'n') + ".bin";
        // "é" is two bytes: 118 bytes of stem room hold 59 of them.
        QTest::newRow("two-byte characters never cut") << QString(100, QChar(0xE9)) + ".bin" << qint64(1000)
                                                       << QString(59, QChar(0xE9)) + ".bin";
        QTest::newRow("long name without extension") << QString(300, 'z') << qint64(5) << QString(125, 'z');
        QTest::newRow("name just fitting") << QString(123, 'f') << qint64(256) << QString(123, 'f');
    }

    void headerName()
    {
        QFETCH(QString, path);
        QFETCH(qint64, size);
        QFETCH(QString, name);

        QCOMPARE(Ymodem::headerName(path, size), name);
        const QByteArray data = Ymodem::headerData(path, size);
        QCOMPARE(data.size(), 128);
        const Ymodem::Header header = Ymodem::parseHeader(data);
        QCOMPARE(header.name, name);
        QCOMPARE(header.size, size);
        QVERIFY(header.sizeKnown);
        QVERIFY(!header.endOfBatch);
    }

    void parseHeader_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("sizeKnown");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("endOfBatch");

        const QByteArray lrzsz("fw.bin\0" "1234 14520077521 100644 0 1 1234\0", 40);
        QTest::newRow("size, time and mode as sb sends them") << lrzsz << "fw.bin" << true << qint64(1234) << false;
        QTest::newRow("size not a number") << QByteArray("fw.bin\0" "12a\0", 11) << "fw.bin" << false << qint64(0)
                                           << false;
        QTest::newRow("empty name ends the batch") << QByteArray(128, '\0') << "" << false << qint64(0) << true;
    }

    void parseHeader()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, name);
        QFETCH(bool, sizeKnown);
        QFETCH(qint64, size);
        QFETCH(bool, endOfBatch);

        const Ymodem::Header header = Ymodem::parseHeader(data);
        QCOMPARE(header.name, name);
        QCOMPARE(header.sizeKnown, sizeKnown);
        QCOMPARE(header.size, size);
        QCOMPARE(header.endOfBatch, endOfBatch);
    }

    // The sender against lrzsz's rb: the file arrives byte-identical under the name of block 0.
    void senderAgainstRb_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("blockSize");
        QTest::addColumn<QString>("name");

        // rb spends some 3 s of its own per file (it waits a second at its start, before it takes
        // the EOT and before it asks for the closing block): few rows, each covering much.
        QTest::newRow("empty file") << 0 << 1024 << "empty.bin";
        QTest::newRow("1K blocks, 3000 bytes, last block padded") << 3000 << 1024 << "fw.bin";
        QTest::newRow("past block 255: numbers wrap") << 256 * 1024 + 1500 << 1024 << "big.bin";
        QTest::newRow("128-byte blocks, long name shortened") << 300 << 128 << QString(200, 'n') + ".bin";
    }

    void senderAgainstRb()
    {
        QFETCH(int, size);
        QFETCH(int, blockSize);
        QFETCH(QString, name);
        QVERIFY2(LrzszBridge::available(), "lrzsz (rb, sb) is missing: scripts/install-deps.sh installs it");
        RealTime realTime;

        QTemporaryDir dir;
        LrzszBridge peer;
        QVERIFY(peer.startPty());
        QSerialPort port;
        QVERIFY(openPort(port, peer.portName()));
        QVERIFY(peer.startPeer(QStringLiteral("rb"), {"-b", "-u", "-t", "50"}, dir.path()));

        YmodemPortChannel channel(port);
        YmodemSendOptions options = YmodemSendOptions::standard();
        options.blockSize = blockSize;
        const QByteArray data = fileOf(size);
        const YmodemResult result = YmodemSender(channel, options).send(QStringLiteral("/some/folder/") + name, data);
        QVERIFY2(result.ok(), qPrintable(result.reason + QLatin1Char('\n') + peer.peerLog()));
        QCOMPARE(result.resends, 0);
        QCOMPARE(result.bytes, qint64(size));
        QVERIFY(peer.waitForPeerExit(10000));
        QCOMPARE(peer.peerExitCode(), 0);
        QCOMPARE(PlexaTest::readFile(dir.filePath(Ymodem::headerName(name, size))), data);
    }

    // The receiver against lrzsz's sb, with 1K and 128-byte blocks.
    void receiverAgainstSb_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("oneK");

        QTest::newRow("1K blocks, size not a multiple") << 5000 << true;
        QTest::newRow("128-byte blocks") << 1000 << false;
        QTest::newRow("an EDID") << 256 << true;
    }

    void receiverAgainstSb()
    {
        QFETCH(int, size);
        QFETCH(bool, oneK);
        QVERIFY2(LrzszBridge::available(), "lrzsz (rb, sb) is missing: scripts/install-deps.sh installs it");
        RealTime realTime;

        QTemporaryDir dir;
        const QByteArray data = fileOf(size);
        {
            QFile file(dir.filePath(QStringLiteral("sent.bin")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(data);
        }
        LrzszBridge peer;
        QVERIFY(peer.startPty());
        QSerialPort port;
        QVERIFY(openPort(port, peer.portName()));
        QStringList arguments {"-t", "50"};
        if (oneK)
            arguments << "-k";
        QVERIFY(peer.startPeer(QStringLiteral("sb"), arguments << "sent.bin", dir.path()));

        YmodemPortChannel channel(port);
        const YmodemResult result = YmodemReceiver(channel, YmodemReceiveOptions::standard()).receive();
        QVERIFY2(result.ok(), qPrintable(result.reason + QLatin1Char('\n') + peer.peerLog()));
        QCOMPARE(result.fileName, QStringLiteral("sent.bin"));
        QCOMPARE(result.data, data);
        QVERIFY(peer.waitForPeerExit(10000));
        QCOMPARE(peer.peerExitCode(), 0);
    }

    // The scalers' variant against the simulated unit: its start ("W" after the command, written
    // again while it does not come, then "C"), the resends after a NAK or silence, the abort "a"
    // when the resends are spent, and the confirmation text.
    void scalerVariant_data()
    {
        using Stage = YmodemResult::Stage;
        using State = SimYmodemReceiver::State;
        QTest::addColumn<QByteArray>("junk");
        QTest::addColumn<int>("nakKey");
        QTest::addColumn<int>("nakTimes");
        QTest::addColumn<int>("ignoreKey");
        QTest::addColumn<int>("ignoreTimes");
        QTest::addColumn<int>("silentStarts");
        QTest::addColumn<bool>("confirms");
        QTest::addColumn<int>("stage");
        QTest::addColumn<int>("resends");
        QTest::addColumn<int>("commands");
        QTest::addColumn<int>("unitState");

        const int done = int(Stage::Finished);
        const int none = 99;
        const int eot = SimYmodemReceiver::Eot;
        QTest::newRow("clean") << QByteArray() << none << 0 << none << 0 << 0 << true << done << 0 << 1 << int(State::Done);
        QTest::newRow("junk between W and C")
            << QByteArray("AITING FOR FILE\r\n\x06\x15\x18\xff garbage\r\n") << none << 0 << none << 0 << 0 << true
            << done << 0 << 1 << int(State::Done);
        QTest::newRow("NAK on block 0") << QByteArray() << 0 << 1 << none << 0 << 0 << true << done << 1 << 1
                                        << int(State::Done);
        QTest::newRow("NAK twice on data block 2") << QByteArray() << 2 << 2 << none << 0 << 0 << true << done << 2 << 1
                                                   << int(State::Done);
        QTest::newRow("NAK on the EOT") << QByteArray() << eot << 1 << none << 0 << 0 << true << done << 1 << 1
                                        << int(State::Done);
        QTest::newRow("silence after data block 1") << QByteArray() << none << 0 << 1 << 1 << 0 << true << done << 1
                                                    << 1 << int(State::Done);
        QTest::newRow("unit answers the fourth command") << QByteArray() << none << 0 << none << 0 << 3 << true << done
                                                         << 0 << 4 << int(State::Done);
        QTest::newRow("NAK on block 1 for ever") << QByteArray() << 1 << 100 << none << 0 << 0 << true
                                                 << int(Stage::Data) << 10 << 1 << int(State::Aborted);
        QTest::newRow("silent after block 0") << QByteArray() << none << 0 << 0 << 100 << 0 << true
                                              << int(Stage::Header) << 10 << 1 << int(State::Aborted);
        QTest::newRow("no confirmation") << QByteArray() << none << 0 << none << 0 << 0 << false
                                         << int(Stage::Confirmation) << 0 << 1 << int(State::Done);
        QTest::newRow("never ready") << QByteArray() << none << 0 << none << 0 << 100 << true << int(Stage::Ready) << 0
                                     << 10 << int(State::Idle);
    }

    void scalerVariant()
    {
        QFETCH(QByteArray, junk);
        QFETCH(int, nakKey);
        QFETCH(int, nakTimes);
        QFETCH(int, ignoreKey);
        QFETCH(int, ignoreTimes);
        QFETCH(int, silentStarts);
        QFETCH(bool, confirms);
        QFETCH(int, stage);
        QFETCH(int, resends);
        QFETCH(int, commands);
        QFETCH(int, unitState);

        YmodemUnitSim unit;
        SimYmodemReceiver::Script script;
        script.readyText = "W";
        script.junkBeforeRequest = junk;
        script.nak[nakKey] = nakTimes;
        script.ignore[ignoreKey] = ignoreTimes;
        script.completionText = confirms ? QByteArray("\r\nThe EDID file transmission is complete.\r\n>") : "\r\n>";
        unit.setScript(script);
        unit.setSilentStarts(silentStarts);
        QVERIFY(unit.startPty());
        QSerialPort port;
        QVERIFY(openPort(port, unit.portName()));

        const QByteArray data = fileOf(2500); // three 1K blocks, the last padded
        YmodemPortChannel channel(port);
        YmodemSendOptions options = YmodemSendOptions::scalerEdid("#SEND_EDID 1\r");
        QStringList progress;
        options.progress = [&](YmodemResult::Stage stage, qint64 sent, qint64 total) {
            progress << QStringLiteral("%1:%2/%3").arg(int(stage)).arg(sent).arg(total);
        };
        const YmodemResult result = YmodemSender(channel, options).send(QStringLiteral("edid.bin"), data);

        QCOMPARE(int(result.stage), stage);
        QCOMPARE(result.ok(), stage == int(YmodemResult::Stage::Finished));
        QCOMPARE(result.resends, resends);
        QCOMPARE(unit.requestCount(QStringLiteral("#SEND_EDID 1")), commands);
        if (unitState != int(SimYmodemReceiver::State::Idle))
            QVERIFY(unit.waitForTransfers(1));
        QCOMPARE(int(unit.state()), unitState);
        if (result.ok()) {
            QCOMPARE(unit.fileName(), QStringLiteral("edid.bin"));
            QCOMPARE(unit.data(), data);
            QCOMPARE(unit.errors(), QStringList());
            // Block 0, three data blocks, EOT, the closing block, and each frame sent again.
            QCOMPARE(unit.frames().size(), 6 + resends);
            // Progress: the first "C", block 0 taken, then each block's file bytes.
            const QString c = QString::number(int(YmodemResult::Stage::CrcRequest));
            const QString d = QString::number(int(YmodemResult::Stage::DataRequest));
            const QString b = QString::number(int(YmodemResult::Stage::Data));
            QCOMPARE(progress, QStringList({c + ":0/2500", d + ":0/2500", b + ":1024/2500", b + ":2048/2500",
                                            b + ":2500/2500"}));
            // The unit's fixed pauses (2 s after the command, 3 s before block 0, 2 s before the
            // closing block) were kept and counted apart.
            QVERIFY(result.pausedMs >= TimeScale::ms(7000) - 5);
        }
    }

    // A receiver that hangs up once it has the file: the sender ends at once (no resends, no
    // wait run out) and says what it knows. Data and EOT acknowledged: delivered, and done unless
    // a confirmation is still owed; a hang-up at the EOT leaves the file unacknowledged: failed.
    // Both channels: the blocking one of the worker and tests, the GUI one over a page's buffer.
    void receiverHangsUp_data()
    {
        using Stage = YmodemResult::Stage;
        QTest::addColumn<bool>("scaler");     // the scalers' variant, which waits for its text
        QTest::addColumn<bool>("guiChannel"); // YmodemBufferChannel over a ready-read buffer
        QTest::addColumn<int>("hangUpAt");
        QTest::addColumn<int>("stage");
        QTest::addColumn<bool>("delivered");

        const int closing = SimYmodemReceiver::Closing;
        const int eot = SimYmodemReceiver::Eot;
        QTest::newRow("standard, gone at the closing block") << false << false << closing << int(Stage::Finished)
                                                             << true;
        QTest::newRow("standard, GUI channel, gone at the closing block")
            << false << true << closing << int(Stage::Finished) << true;
        QTest::newRow("scaler, gone at the closing block: no confirmation")
            << true << true << closing << int(Stage::Confirmation) << true;
        QTest::newRow("standard, gone at the EOT") << false << false << eot << int(Stage::EndOfFile) << false;
    }

    void receiverHangsUp()
    {
        QFETCH(bool, scaler);
        QFETCH(bool, guiChannel);
        QFETCH(int, hangUpAt);
        QFETCH(int, stage);
        QFETCH(bool, delivered);

        YmodemUnitSim unit;
        SimYmodemReceiver::Script script;
        script.hangUpAt = hangUpAt;
        script.completionText = "\r\nThe EDID file transmission is complete.\r\n>";
        unit.setScript(script);
        QVERIFY(unit.startPty());
        QSerialPort port;
        QVERIFY(openPort(port, unit.portName()));
        QByteArray received;
        int readPos = 0;
        if (guiChannel) // a page's own reader; the blocking channel reads the port itself
            QObject::connect(&port, &QSerialPort::readyRead, [&] { received += port.readAll(); });

        YmodemSendOptions options = YmodemSendOptions::scalerEdid("#SEND_EDID 1\r");
        if (!scaler) {
            options = YmodemSendOptions::standard();
            options.startCommand = "#SEND_EDID 1\r";
        }
        const QByteArray data = fileOf(2500);
        YmodemPortChannel portChannel(port);
        YmodemBufferChannel bufferChannel(port, received, readPos);
        YmodemChannel& channel = guiChannel ? static_cast<YmodemChannel&>(bufferChannel) : portChannel;
        QElapsedTimer timer;
        timer.start();
        const YmodemResult result = YmodemSender(channel, options).send(QStringLiteral("edid.bin"), data);

        QCOMPARE(int(result.stage), stage);
        QCOMPARE(result.ok(), stage == int(YmodemResult::Stage::Finished));
        QCOMPARE(result.delivered, delivered);
        QCOMPARE(result.resends, 0);
        // No wait ran out, beyond the variant's fixed pauses: the hang-up ended the transfer.
        QVERIFY2(timer.elapsed() - result.pausedMs < TimeScale::ms(options.ackWaitMs),
                 qPrintable(QString::number(timer.elapsed() - result.pausedMs)));
        if (delivered)
            QVERIFY(!result.warning.isEmpty());
        QVERIFY(unit.waitForTransfers(1));
        QCOMPARE(unit.data(), data);
    }

    // lrzsz's rb, its line dropped the moment it exits after its last ACK: the file is whole and
    // the sender says so, without retrying the closing block.
    void rbHangsUpAtItsEnd()
    {
        QVERIFY2(LrzszBridge::available(), "lrzsz (rb, sb) is missing: scripts/install-deps.sh installs it");
        RealTime realTime;
        QTemporaryDir dir;
        LrzszBridge peer;
        peer.setHangUpOnPeerExit(true);
        QVERIFY(peer.startPty());
        QSerialPort port;
        QVERIFY(openPort(port, peer.portName()));
        QVERIFY(peer.startPeer(QStringLiteral("rb"), {"-b", "-u", "-t", "50"}, dir.path()));

        YmodemPortChannel channel(port);
        const QByteArray data = fileOf(5000);
        const YmodemResult result = YmodemSender(channel, YmodemSendOptions::standard()).send(QStringLiteral("fw.bin"), data);
        QVERIFY2(result.ok(), qPrintable(result.reason + QLatin1Char('\n') + peer.peerLog()));
        QVERIFY(result.delivered);
        QCOMPARE(result.resends, 0);
        QVERIFY(peer.waitForPeerExit(10000));
        QCOMPARE(peer.peerExitCode(), 0);
        QCOMPARE(PlexaTest::readFile(dir.filePath(QStringLiteral("fw.bin"))), data);
    }
};

PLEXA_TEST_MAIN(TestYmodem)
#include "tst_ymodem.moc"
