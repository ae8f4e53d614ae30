// The one-file TFTP server: packet parsing on hostile datagrams; whole transfers to Debian's
// tftp-hpa `tftp`, `atftp` and `curl tftp://` on loopback (sizes around the block edges, 1 MiB;
// 32 MiB, where the block number wraps, in tst_tftp_wrap); a stranger during a transfer; a lost acknowledgement;
// a silent client; a client error; restart and abort asked by the block hook.
#include "caltorsim.h"
#include "plexatest.h"
#include "tftpserver.h"
#include "timescale.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <atomic>
#include <thread>

namespace {

// A byte array of a literal with its NULs, without the literal's own terminating NUL.
template <size_t N>
QByteArray raw(const char (&literal)[N])
{
    return QByteArray(literal, int(N - 1));
}

// Real peers run on their own clock: the server's waits must not be shrunk below theirs.
struct RealTime {
    double factor = TimeScale::factor();
    RealTime() { TimeScale::setFactor(1.0); }
    ~RealTime() { TimeScale::setFactor(factor); }
};

// A client written from RFC 1350 alone, on its own thread: asks for a file, acknowledges each
// block, and can leave acknowledgements out or answer with an error.
class ScriptedClient
{
public:
    int dropAckOf = -1;   // this block's first acknowledgement is not sent
    bool neverAck = false;
    bool sendError = false; // answers block 1 with an error packet
    QByteArray received;
    int duplicates = 0;
    std::atomic<bool> finished{false};

    void start(quint16 port)
    {
        m_thread = std::thread([this, port] { run(port); });
    }
    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    ~ScriptedClient() { join(); }

private:
    void run(quint16 port)
    {
        QUdpSocket socket;
        socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
        socket.writeDatagram(Tftp::readRequest("image.bin"), QHostAddress::LocalHost, port);
        quint16 expected = 1;
        bool dropped = false;
        while (socket.waitForReadyRead(3000)) {
            while (socket.hasPendingDatagrams()) {
                QByteArray datagram(int(socket.pendingDatagramSize()), Qt::Uninitialized);
                QHostAddress from;
                quint16 fromPort = 0;
                socket.readDatagram(datagram.data(), datagram.size(), &from, &fromPort);
                const Tftp::Packet packet = Tftp::parsePacket(datagram);
                if (!packet.valid || packet.opcode != Tftp::Data)
                    continue;
                if (sendError) {
                    socket.writeDatagram(Tftp::errorPacket(3, "Disk full"), from, fromPort);
                    finished = true;
                    return;
                }
                if (neverAck)
                    continue;
                if (packet.block != expected) {
                    ++duplicates;
                    socket.writeDatagram(Tftp::ackPacket(packet.block), from, fromPort);
                    continue;
                }
                if (packet.block == dropAckOf && !dropped) {
                    dropped = true;
                    continue;
                }
                received += packet.payload;
                socket.writeDatagram(Tftp::ackPacket(packet.block), from, fromPort);
                ++expected;
                if (packet.payload.size() < Tftp::BlockSize) {
                    finished = true;
                    return;
                }
            }
        }
    }
    std::thread m_thread;
};

} // namespace

class TestTftp : public QObject
{
    Q_OBJECT

private slots:
    void parsePacket_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("opcode");
        QTest::addColumn<QByteArray>("fileName");
        QTest::addColumn<int>("options");

        const QByteArray rrq = raw("\0\1KAVRELL.bin\0octet\0");
        QTest::newRow("read request") << rrq << true << 1 << QByteArray("KAVRELL.bin") << 0;
        QTest::newRow("request with options")
            << raw("\0\1f\0OCTET\0blksize\0001468\0tsize\0000\0") << true << 1 << QByteArray("f") << 2;
        QTest::newRow("option without value") << raw("\0\1f\0octet\0blksize\0") << false << 1
                                              << QByteArray() << 0;
        QTest::newRow("mode without NUL") << raw("\0\1f\0octet") << false << 1 << QByteArray() << 0;
        QTest::newRow("empty name") << raw("\0\1\0octet\0") << false << 1 << QByteArray() << 0;
        QTest::newRow("one byte") << raw("\0") << false << 0 << QByteArray() << 0;
        QTest::newRow("empty") << QByteArray() << false << 0 << QByteArray() << 0;
        QTest::newRow("ack") << raw("\0\4\1\2") << true << 4 << QByteArray() << 0;
        QTest::newRow("short ack") << raw("\0\4\1") << false << 4 << QByteArray() << 0;
        QTest::newRow("long ack") << raw("\0\4\1\2\3") << false << 4 << QByteArray() << 0;
        QTest::newRow("oversized data") << QByteArray(4 + 513, '\3').replace(0, 2, raw("\0\3")) << false
                                        << 3 << QByteArray() << 0;
        QTest::newRow("error without NUL") << raw("\0\5\0\1oops") << false << 5 << QByteArray() << 0;
        QTest::newRow("unknown opcode") << raw("\0\11xx") << false << 9 << QByteArray() << 0;
        QTest::newRow("empty option ack") << Tftp::emptyOptionAck() << true << 6 << QByteArray() << 0;
    }

    void parsePacket()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(bool, valid);
        QFETCH(int, opcode);
        QFETCH(QByteArray, fileName);
        QFETCH(int, options);
        const Tftp::Packet packet = Tftp::parsePacket(datagram);
        QCOMPARE(packet.valid, valid);
        QCOMPARE(int(packet.opcode), opcode);
        if (valid) {
            QCOMPARE(packet.fileName, fileName);
            QCOMPARE(packet.options.size(), options);
        }
    }

    void packetsOnTheWire()
    {
        QCOMPARE(Tftp::emptyOptionAck(), raw("\0\6"));
        QCOMPARE(Tftp::dataPacket(0x1234, "ab"), raw("\0\3\x12\x34" "ab"));
        const Tftp::Packet request = Tftp::parsePacket(raw("\0\1f\0OCTET\0blksize\0001468\0"));
        QCOMPARE(request.mode, QByteArray("octet"));
        QCOMPARE(request.options.value(0).first, QByteArray("blksize"));
        QCOMPARE(request.options.value(0).second, QByteArray("1468"));
    }

    void realClients_data()
    {
        QTest::addColumn<QString>("client");
        QTest::addColumn<int>("size");
        for (const char* client : {"tftp", "atftp", "curl"}) {
            for (int size : {0, 511, 512, 513, 1 << 20})
                QTest::addRow("%s %d", client, size) << QString::fromLatin1(client) << size;
        }
    }

    // Each client gets the image byte for byte, whatever name it asks for.
    void realClients()
    {
        QFETCH(QString, client);
        QFETCH(int, size);
        if (QStandardPaths::findExecutable(client).isEmpty())
            QSKIP("client not installed (scripts/install-deps.sh)");
        RealTime realTime;
        TftpServer server;
        TftpServer::Options options;
        options.optionAckPauseMs = 20;
        options.blockPauseMs = 1;
        server.setOptions(options);
        const QString failure = serveToClient(server, client, sampleImage(size));
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(server.blocksSent(), qint64(size / 512 + 1));
    }

    // A second client's request and acknowledgements during a transfer get "unknown transfer ID"
    // and change nothing: the first client's file arrives whole.
    void strangerChangesNothing()
    {
        RealTime realTime;
        const QByteArray image = sampleImage(100 * 512 + 17);
        QTemporaryDir dir;
        const QString local = dir.filePath(QStringLiteral("got.bin"));
        TftpServer server;
        TftpServer::Options options;
        options.blockPauseMs = 1;
        server.setOptions(options);
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));

        QUdpSocket stranger;
        QVERIFY(stranger.bind(QHostAddress(QHostAddress::LocalHost), 0));
        QProcess* process = startTftpClient(QStringLiteral("tftp"), QStringLiteral("127.0.0.1"), server.localPort(), QStringLiteral("KAVRELL.bin"), local, this);
        QVERIFY(process->waitForStarted());
        const auto hook = [&](qint64 counter, bool sent) {
            if (counter == 10 && !sent) {
                stranger.writeDatagram(Tftp::readRequest("other.bin"), QHostAddress::LocalHost, server.localPort());
                for (quint16 block = 9; block < 14; ++block)
                    stranger.writeDatagram(Tftp::ackPacket(block), QHostAddress::LocalHost, server.localPort());
                stranger.writeDatagram(Tftp::errorPacket(0, "stop"), QHostAddress::LocalHost, server.localPort());
            }
            return TftpServer::BlockAction::Continue;
        };
        QCOMPARE(int(server.serve(image, hook)), int(TftpServer::Outcome::Done));
        QVERIFY(process->state() == QProcess::NotRunning || process->waitForFinished(30000));
        QCOMPARE(PlexaTest::readFile(local), image);
        QCOMPARE(server.strangersAnswered(), 6);
        QVERIFY(stranger.waitForReadyRead(1000) || stranger.hasPendingDatagrams());
        QByteArray answer(int(stranger.pendingDatagramSize()), Qt::Uninitialized);
        stranger.readDatagram(answer.data(), answer.size());
        const Tftp::Packet error = Tftp::parsePacket(answer);
        QCOMPARE(int(error.opcode), int(Tftp::Error));
        QCOMPARE(int(error.errorCode), 5);
        delete process;
    }

    // With the unit's address set, another host's read request (a real client, curl, from
    // 127.0.0.2) is ignored: unanswered, and the server does not lock onto it; the unit's own
    // request (tftp-hpa from 127.0.0.1) is then served whole. A write request of the unit is
    // still refused.
    void otherHostsAreIgnored()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("tftp")).isEmpty())
            QSKIP("curl or tftp not installed (scripts/install-deps.sh)");
        RealTime realTime;
        const QByteArray image = sampleImage(50 * 512 + 5);
        QTemporaryDir dir;
        TftpServer server;
        TftpServer::Options options;
        options.optionAckPauseMs = 20;
        options.blockPauseMs = 0;
        server.setOptions(options);
        server.setExpectedPeer(QHostAddress(QStringLiteral("127.0.0.1")));
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));

        const QString strangerFile = dir.filePath(QStringLiteral("stranger.bin"));
        QScopedPointer<QProcess> stranger(startTftpClient(QStringLiteral("curl"), QStringLiteral("127.0.0.1"),
                                                          server.localPort(), QStringLiteral("KAVRELL.bin"),
                                                          strangerFile, nullptr, QStringLiteral("127.0.0.2")));
        QVERIFY(stranger->waitForStarted());
        QDeadlineTimer heard(10000);
        while (server.requestsIgnored() == 0 && !heard.hasExpired())
            QVERIFY(!server.waitForRequest(100));
        QVERIFY(server.requestsIgnored() > 0);
        QVERIFY(!server.hasPeer());

        QUdpSocket unit;
        QVERIFY(unit.bind(QHostAddress(QHostAddress::LocalHost), 0));
        unit.writeDatagram(raw("\0\2f\0octet\0"), QHostAddress::LocalHost, server.localPort());
        QVERIFY(!server.waitForRequest(200));
        QVERIFY(unit.waitForReadyRead(1000) || unit.hasPendingDatagrams());
        QByteArray answer(int(unit.pendingDatagramSize()), Qt::Uninitialized);
        unit.readDatagram(answer.data(), answer.size());
        QCOMPARE(int(Tftp::parsePacket(answer).errorCode), 4);

        const QString local = dir.filePath(QStringLiteral("got.bin"));
        QScopedPointer<QProcess> client(startTftpClient(QStringLiteral("tftp"), QStringLiteral("127.0.0.1"),
                                                        server.localPort(), QStringLiteral("KAVRELL.bin"), local));
        QVERIFY(client->waitForStarted());
        QCOMPARE(int(server.serve(image)), int(TftpServer::Outcome::Done));
        QVERIFY(client->state() == QProcess::NotRunning || client->waitForFinished(30000));
        QCOMPARE(PlexaTest::readFile(local), image);
        QVERIFY(!QFileInfo::exists(strangerFile) || QFileInfo(strangerFile).size() == 0);
        QCOMPARE(server.strangersAnswered(), 0);
        stranger->kill();
        stranger->waitForFinished();
    }

    void lostAckIsRetried()
    {
        const QByteArray image = sampleImage(5 * 512 + 3);
        TftpServer server;
        TftpServer::Options options;
        options.ackTimeoutMs = 2500; // 50 ms at the test scale
        server.setOptions(options);
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        ScriptedClient client;
        client.dropAckOf = 3;
        client.start(server.localPort());
        QCOMPARE(int(server.serve(image)), int(TftpServer::Outcome::Done));
        client.join();
        QCOMPARE(client.received, image);
        QCOMPARE(server.retransmissions(), qint64(1));
    }

    void silentClientEndsAfterRetries()
    {
        TftpServer server;
        TftpServer::Options options;
        options.ackTimeoutMs = 500;
        options.maxRetries = 3;
        server.setOptions(options);
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        ScriptedClient client;
        client.neverAck = true;
        client.start(server.localPort());
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(int(server.serve(sampleImage(2000))), int(TftpServer::Outcome::PeerSilent));
        QCOMPARE(server.retransmissions(), qint64(3));
        QVERIFY(timer.elapsed() < 5000);
        client.join();
    }

    void clientErrorEndsTransfer()
    {
        TftpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        ScriptedClient client;
        client.sendError = true;
        client.start(server.localPort());
        QCOMPARE(int(server.serve(sampleImage(5000))), int(TftpServer::Outcome::PeerError));
        client.join();
        QCOMPARE(server.blocksSent(), qint64(1));
    }

    void noRequestEndsAtDeadline()
    {
        TftpServer server;
        TftpServer::Options options;
        options.requestTimeoutMs = 5000;
        server.setOptions(options);
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        QUdpSocket other;
        // A write request and garbage do not lock the server.
        other.writeDatagram(raw("\0\2f\0octet\0"), QHostAddress::LocalHost, server.localPort());
        other.writeDatagram(QByteArray("\xff\xff\xff"), QHostAddress::LocalHost, server.localPort());
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(int(server.serve(sampleImage(10))), int(TftpServer::Outcome::NoRequest));
        QVERIFY(timer.elapsed() >= TimeScale::ms(5000));
        QVERIFY(!server.hasPeer());
        QVERIFY(other.waitForReadyRead(1000) || other.hasPendingDatagrams());
        QByteArray answer(int(other.pendingDatagramSize()), Qt::Uninitialized);
        other.readDatagram(answer.data(), answer.size());
        QCOMPARE(int(Tftp::parsePacket(answer).errorCode), 4);
    }

    // The hook's restart sends block 1 again and the whole image after it; its abort stops
    // before the next block.
    void hookRestartsAndAborts()
    {
        const QByteArray image = sampleImage(4 * 512 + 9);
        {
            TftpServer server;
            QVERIFY(server.listen(QHostAddress::LocalHost, 0));
            ScriptedClient client;
            client.start(server.localPort());
            bool restarted = false;
            const auto hook = [&](qint64 counter, bool sent) {
                if (sent && counter == 2 && !restarted) {
                    restarted = true;
                    return TftpServer::BlockAction::Restart;
                }
                return TftpServer::BlockAction::Continue;
            };
            QCOMPARE(int(server.serve(image, hook)), int(TftpServer::Outcome::Done));
            client.join();
            QCOMPARE(client.received, image);
            QCOMPARE(server.blocksSent(), qint64(5 + 2));
        }
        {
            TftpServer server;
            QVERIFY(server.listen(QHostAddress::LocalHost, 0));
            ScriptedClient client;
            client.start(server.localPort());
            const auto hook = [](qint64 counter, bool sent) {
                return counter == 3 && !sent ? TftpServer::BlockAction::Abort : TftpServer::BlockAction::Continue;
            };
            QCOMPARE(int(server.serve(image, hook)), int(TftpServer::Outcome::Aborted));
            QCOMPARE(server.blocksSent(), qint64(2));
            client.join();
        }
    }

    void busyPortIsReported()
    {
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress(QHostAddress::LocalHost), 0));
        TftpServer server;
        QVERIFY(!server.listen(QHostAddress::LocalHost, holder.localPort()));
        QVERIFY(!server.errorString().isEmpty());
        QCOMPARE(int(server.serve("x")), int(TftpServer::Outcome::NotListening));
    }
};

PLEXA_TEST_MAIN(TestTftp)
#include "tst_tftp.moc"
