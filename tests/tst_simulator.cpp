#include "plexatest.h"
#include "serialports.h"
#include "simdevice.h"
#include "timescale.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QNetworkDatagram>
#include <QSerialPort>
#include <QTcpSocket>
#include <QThread>
#include <QUdpSocket>

#include <atomic>
#include <functional>
#include <memory>

namespace {

// Test fixture: the smallest family simulator. It answers the firmware query from its own logic
// and takes an 8-byte binary block after "#UPLOAD" (answered "C", then ACK), the way a YMODEM or
// boot-loader exchange switches a text link to binary and back.
class EchoDevice : public SimDevice
{
public:
    ~EchoDevice() override { stop(); }

    QByteArray uploaded() const
    {
        QByteArray copy;
        runOnSimThread([&] { copy = m_uploaded; });
        return copy;
    }

protected:
    bool handleLine(const QByteArray& line) override
    {
        if (line == "#GET_FW") {
            reply("FW VERSION 1.2.3\r\n>");
            return true;
        }
        if (line == "#UPLOAD") {
            m_uploaded.clear();
            setLineMode(false);
            reply("C");
            return true;
        }
        return false;
    }

    void handleBytes(const QByteArray& data) override
    {
        m_uploaded.append(data);
        if (m_uploaded.size() >= 8) {
            setLineMode(true);
            reply("\x06");
        }
    }

private:
    QByteArray m_uploaded; // simulator thread only
};

using Setup = std::function<void(SimDevice&)>;

const int kTimeout = 10000;

// Collects what `client` receives until `count` bytes have come (or the time-out passes).
QByteArray readAtLeast(QIODevice* client, int count, int timeoutMs = kTimeout)
{
    QByteArray got;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        got += client->readAll();
        if (got.size() >= count || deadline.hasExpired())
            return got;
        QTest::qWait(5);
    }
}

std::unique_ptr<QSerialPort> openSerial(const QString& portName)
{
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(portName);
    port->setBaudRate(115200);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite))
        qWarning("cannot open %s: %s", qPrintable(portName), qPrintable(port->errorString()));
    return port;
}

std::unique_ptr<QTcpSocket> connectTcp(quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    if (!socket->waitForConnected(kTimeout))
        qWarning("cannot connect to port %u: %s", port, qPrintable(socket->errorString()));
    return socket;
}

// Starts `sim` on `transport` ("pty" or "tcp") and returns a connected client.
std::unique_ptr<QIODevice> startAndConnect(SimDevice& sim, const QString& transport)
{
    if (transport == QLatin1String("pty")) {
        if (!sim.startPty())
            return nullptr;
        return openSerial(sim.portName());
    }
    if (!sim.startTcp())
        return nullptr;
    auto client = connectTcp(sim.tcpPort());
    // The simulator must have taken the connection before a reply can find it.
    if (!QTest::qWaitFor([&] { return sim.peerCount() == 1; }, kTimeout))
        qWarning("the simulator never saw the connection");
    return client;
}

bool clientSawClose(QIODevice* client)
{
    if (auto* socket = qobject_cast<QTcpSocket*>(client))
        return socket->state() == QAbstractSocket::UnconnectedState;
    // A vanished pty reads as end of file, which QSerialPort reports as a read error (a real
    // unplugged USB port gives a resource error).
    auto* port = qobject_cast<QSerialPort*>(client);
    return port->error() == QSerialPort::ReadError || port->error() == QSerialPort::ResourceError;
}

} // namespace

Q_DECLARE_METATYPE(Setup)

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SerialPortLister::clearRegisteredPorts(); }

    void serialSettingsReadBack();
    void portRegistration();
    void lineRules_data();
    void lineRules();
    void faults_data();
    void faults();
    void chunkedReplyArrivesInPieces();
    void rawModeAfterCommand();
    void replyGoesToRequesterPushGoesToAll();
    void udpDatagrams_data();
    void udpDatagrams();
    void keepsAnsweringWhileTestThreadBlocks();
    void disconnectAllDropsEveryLink();
    void scheduledTaskRunsUnlessStopped();
};

void TestSimulator::serialSettingsReadBack()
{
    EchoDevice sim;
    QVERIFY(sim.startPty());
    auto port = openSerial(sim.portName());
    QVERIFY(port->isOpen());
    QTRY_COMPARE_WITH_TIMEOUT(sim.serialSettings().toString(), QStringLiteral("115200 8N1"), kTimeout);

    port->write("#GET_FW\r");
    QCOMPARE(readAtLeast(port.get(), 19), QByteArray("FW VERSION 1.2.3\r\n>"));

    // The program changes the framing of the open port; the simulator sees the new settings.
    QVERIFY(port->setBaudRate(9600));
    QVERIFY(port->setStopBits(QSerialPort::TwoStop));
    QVERIFY(port->setFlowControl(QSerialPort::HardwareControl));
    QTRY_COMPARE_WITH_TIMEOUT(sim.serialSettings().toString(), QStringLiteral("9600 8N2"), kTimeout);
    QVERIFY(sim.serialSettings().hardwareFlowControl);
    // Linux ptys keep 8 data bits and no parity whatever is asked (QSerialPort reports the
    // refusal), so only rate, stop bits and flow control can be checked through a pty.
    QVERIFY(!port->setParity(QSerialPort::EvenParity));
    port->clearError();
    QVERIFY(port->setFlowControl(QSerialPort::NoFlowControl));

    // A unit fixed at 115200 hears nothing sensible at 9600 ...
    sim.setRequiredBaudRate(115200);
    sim.clearLog();
    port->write("#GET_FW\r");
    QVERIFY(sim.waitForReceived("#GET_FW\r", kTimeout));
    QVERIFY(!port->waitForReadyRead(200));
    QVERIFY(sim.requests().isEmpty());
    // ... and answers once the program is back at its rate.
    QVERIFY(port->setBaudRate(115200));
    QTRY_COMPARE_WITH_TIMEOUT(sim.serialSettings().baudRate, 115200, kTimeout);
    port->write("#GET_FW\r");
    QCOMPARE(readAtLeast(port.get(), 19), QByteArray("FW VERSION 1.2.3\r\n>"));
}

void TestSimulator::portRegistration()
{
    SerialPortEntry identity;
    identity.description = QStringLiteral("Velmo EDID Booster");
    identity.manufacturer = QStringLiteral("Velmo");
    identity.serialNumber = QStringLiteral("VB0042");
    identity.vendorId = 0x0483;
    identity.productId = 0x5740;
    identity.hasVendorId = true;
    identity.hasProductId = true;

    auto findPort = [](const QString& name) -> std::unique_ptr<SerialPortEntry> {
        for (const SerialPortEntry& e : SerialPortLister::availablePorts()) {
            if (e.portName == name)
                return std::make_unique<SerialPortEntry>(e);
        }
        return nullptr;
    };

    SimDevice sim;
    QVERIFY(sim.startPty(identity));
    const QString path = sim.portName();
    QVERIFY(path.startsWith(QLatin1String("/dev/")));
    QVERIFY(QFile::exists(path));

    const auto listed = findPort(path);
    QVERIFY(listed);
    QCOMPARE(listed->systemLocation, path);
    QCOMPARE(listed->description, identity.description);
    QCOMPARE(listed->manufacturer, identity.manufacturer);
    QCOMPARE(listed->serialNumber, identity.serialNumber);
    QCOMPARE(listed->vendorId, quint16(0x0483));
    QCOMPARE(listed->productId, quint16(0x5740));
    QVERIFY(listed->hasVendorId && listed->hasProductId);

    // Restarting replaces the registration (the kernel may hand out the same pts number again).
    QVERIFY(sim.startPty(identity));
    const QString second = sim.portName();
    int listings = 0;
    for (const SerialPortEntry& e : SerialPortLister::availablePorts()) {
        QVERIFY(e.portName != path || path == second);
        listings += e.portName == second ? 1 : 0;
    }
    QCOMPARE(listings, 1);

    sim.stop();
    QVERIFY(!findPort(second));
    QVERIFY(sim.portName().isEmpty());
    QVERIFY(!sim.isOpen(SimDevice::Transport::Pty));
}

void TestSimulator::lineRules_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QByteArrayList>("writes");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("exact") << Setup([](SimDevice& s) { s.addRule(SimRule::exact("#GET_IP").reply("IP 10.0.0.5\r\n>")); })
                           << QByteArrayList {"#GET_IP\r"} << QByteArray("IP 10.0.0.5\r\n>");
    QTest::newRow("exact does not take a longer line")
        << Setup([](SimDevice& s) {
               s.addRule(SimRule::exact("#GET").reply("wrong"));
               s.setDefaultReply("ERR\r\n>");
           })
        << QByteArrayList {"#GET_IP\r"} << QByteArray("ERR\r\n>");
    QTest::newRow("prefix") << Setup([](SimDevice& s) { s.addRule(SimRule::prefix("#SET_").reply("OK\r\n>")); })
                            << QByteArrayList {"#SET_OUT 2\r"} << QByteArray("OK\r\n>");
    QTest::newRow("regex with a computed reply")
        << Setup([](SimDevice& s) {
               s.addRule(SimRule::regex("^#GET_OUT (\\d)$").respond([](const QString& line) {
                   return "OUT " + line.right(1).toLatin1() + "\r\n>";
               }));
           })
        << QByteArrayList {"#GET_OUT 3\r"} << QByteArray("OUT 3\r\n>");
    QTest::newRow("newest rule wins")
        << Setup([](SimDevice& s) {
               s.addRule(SimRule::prefix("#GET").reply("old"));
               s.addRule(SimRule::exact("#GET_IP").reply("new"));
           })
        << QByteArrayList {"#GET_IP\r"} << QByteArray("new");
    QTest::newRow("a used-up rule gives way")
        << Setup([](SimDevice& s) {
               s.addRule(SimRule::exact("#A").reply("later;"));
               s.addRule(SimRule::exact("#A").reply("first;").times(1));
           })
        << QByteArrayList {"#A\r#A\r#A\r"} << QByteArray("first;later;later;");
    QTest::newRow("family logic answers what no rule takes")
        << Setup([](SimDevice& s) { s.setDefaultReply("ERR"); }) << QByteArrayList {"#GET_FW\r"}
        << QByteArray("FW VERSION 1.2.3\r\n>");
    QTest::newRow("a rule overrides the family logic")
        << Setup([](SimDevice& s) { s.addRule(SimRule::exact("#GET_FW").reply("FW 9\r\n>")); })
        << QByteArrayList {"#GET_FW\r"} << QByteArray("FW 9\r\n>");
    QTest::newRow("line split over two reads")
        << Setup([](SimDevice& s) { s.addRule(SimRule::exact("#GET_IP").reply("ip")); })
        << QByteArrayList {"#GET", "_IP\r"} << QByteArray("ip");
    QTest::newRow("two lines in one read")
        << Setup([](SimDevice& s) {
               s.addRule(SimRule::exact("#A").reply("a;"));
               s.addRule(SimRule::exact("#B").reply("b;"));
           })
        << QByteArrayList {"#A\r#B\r"} << QByteArray("a;b;");
    QTest::newRow("a delayed reply holds back the next")
        << Setup([](SimDevice& s) {
               s.addRule(SimRule::exact("#SLOW").reply("slow;").after(5000));
               s.addRule(SimRule::exact("#FAST").reply("fast;"));
           })
        << QByteArrayList {"#SLOW\r#FAST\r"} << QByteArray("slow;fast;");
    QTest::newRow("terminator \\r\\n")
        << Setup([](SimDevice& s) {
               s.setTerminator("\r\n");
               s.addRule(SimRule::exact("#A").reply("a;"));
               s.addRule(SimRule::exact("#B").reply("b;"));
           })
        << QByteArrayList {"#A\r\n#B\r\n"} << QByteArray("a;b;");
    QTest::newRow("terminator \\n\\r, split inside it")
        << Setup([](SimDevice& s) {
               s.setTerminator("\n\r");
               s.addRule(SimRule::exact("#A").reply("a;"));
               s.addRule(SimRule::exact("#B").reply("b;"));
           })
        << QByteArrayList {"#A\n", "\r#B\n\r"} << QByteArray("a;b;");
}

// The rules engine is the same whatever the link; it is driven over TCP here.
void TestSimulator::lineRules()
{
    QFETCH(Setup, setup);
    QFETCH(QByteArrayList, writes);
    QFETCH(QByteArray, expected);

    EchoDevice sim;
    setup(sim);
    auto client = startAndConnect(sim, QStringLiteral("tcp"));
    QVERIFY(client);
    QByteArray sent;
    for (const QByteArray& piece : writes) {
        client->write(piece);
        sent += piece;
        // Make the simulator see each piece as its own read.
        QVERIFY(sim.waitForReceived(sent, kTimeout));
    }
    const QByteArray got = readAtLeast(client.get(), expected.size());
    QCOMPARE(got, expected);
    QVERIFY(!client->waitForReadyRead(50));
    QCOMPARE(client->readAll(), QByteArray());
}

void TestSimulator::faults_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("closes");

    for (const QString& transport : {QStringLiteral("pty"), QStringLiteral("tcp")}) {
        const QByteArray t = transport.toLatin1();
        QTest::addRow("%s: silence", t.constData())
            << transport << Setup([](SimDevice& s) { s.addRule(SimRule::any().silence()); }) << QByteArray() << false;
        QTest::addRow("%s: garbage", t.constData())
            << transport << Setup([](SimDevice& s) { s.addRule(SimRule::exact("#GET_FW").garbage()); })
            << SimRule::defaultGarbage() << false;
        QTest::addRow("%s: partial", t.constData())
            << transport
            << Setup([](SimDevice& s) { s.addRule(SimRule::exact("#GET_FW").reply("FW VERSION 1.2.3\r\n>").partial(6)); })
            << QByteArray("FW VER") << false;
        QTest::addRow("%s: reply then close", t.constData())
            << transport << Setup([](SimDevice& s) { s.addRule(SimRule::exact("#GET_FW").reply("BYE\r\n").thenClose()); })
            << QByteArray("BYE\r\n") << true;
        QTest::addRow("%s: close without a word", t.constData())
            << transport << Setup([](SimDevice& s) { s.addRule(SimRule::exact("#GET_FW").silence().thenClose()); })
            << QByteArray() << true;
    }
}

void TestSimulator::faults()
{
    QFETCH(QString, transport);
    QFETCH(Setup, setup);
    QFETCH(QByteArray, expected);
    QFETCH(bool, closes);

    EchoDevice sim;
    setup(sim);
    auto client = startAndConnect(sim, transport);
    QVERIFY(client && client->isOpen());
    const QString portName = sim.portName();

    client->write("#GET_FW\r");
    QVERIFY(sim.waitForRequest(QStringLiteral("#GET_FW"), kTimeout));
    QCOMPARE(readAtLeast(client.get(), expected.size()), expected);

    if (closes) {
        QTRY_VERIFY_WITH_TIMEOUT(clientSawClose(client.get()), kTimeout);
        QCOMPARE(sim.peerCount(), 0);
        if (transport == QLatin1String("pty")) {
            QVERIFY(!sim.isOpen(SimDevice::Transport::Pty)); // unplugged: gone from the port list
            for (const SerialPortEntry& e : SerialPortLister::availablePorts())
                QVERIFY(e.portName != portName);
        } else {
            QVERIFY(sim.isOpen(SimDevice::Transport::Tcp)); // the unit still listens
            auto again = connectTcp(sim.tcpPort());
            QCOMPARE(again->state(), QAbstractSocket::ConnectedState);
        }
    } else {
        // The client waits for the rest of a reply (or any reply) and times out.
        QVERIFY(!client->waitForReadyRead(200));
        QCOMPARE(client->readAll(), QByteArray());
        QVERIFY(!clientSawClose(client.get()));
    }
}

void TestSimulator::chunkedReplyArrivesInPieces()
{
    // Gaps long in real time, so even a loaded machine sees the first piece on its own.
    const int gapMs = int(1000 / TimeScale::factor());
    SimDevice sim;
    sim.addRule(SimRule::exact("#GET_FW").reply("FW 1.2.3\r\n>").chunked(4, gapMs));
    QVERIFY(sim.startPty());
    auto port = openSerial(sim.portName());
    QVERIFY(port->isOpen());

    port->write("#GET_FW\r");
    QVERIFY(port->waitForReadyRead(kTimeout));
    QCOMPARE(port->readAll(), QByteArray("FW 1"));
    QCOMPARE(readAtLeast(port.get(), 7), QByteArray(".2.3\r\n>"));
}

void TestSimulator::rawModeAfterCommand()
{
    EchoDevice sim;
    QVERIFY(sim.startPty());
    auto port = openSerial(sim.portName());
    QVERIFY(port->isOpen());

    // The command and the binary block in one write: the bytes after the line must reach the
    // binary handler, terminators and NULs included, and not be taken for lines.
    const QByteArray block("\x01\r\x00\xfe#GET", 8);
    port->write("#UPLOAD\r" + block);
    QCOMPARE(readAtLeast(port.get(), 2), QByteArray("C\x06"));
    QCOMPARE(sim.uploaded(), block);
    QCOMPARE(sim.requests(), QStringList {QStringLiteral("#UPLOAD")});

    // Back in line mode.
    port->write("#GET_FW\r");
    QCOMPARE(readAtLeast(port.get(), 19), QByteArray("FW VERSION 1.2.3\r\n>"));
}

void TestSimulator::replyGoesToRequesterPushGoesToAll()
{
    SimDevice sim;
    sim.addRule(SimRule::exact("#GET_FW").reply("FW 1\r\n").after(200));
    QVERIFY(sim.startTcp());
    auto a = connectTcp(sim.tcpPort());
    auto b = connectTcp(sim.tcpPort());
    QTRY_COMPARE_WITH_TIMEOUT(sim.peerCount(), 2, kTimeout);

    a->write("#GET_FW\r");
    QVERIFY(sim.waitForRequest(QStringLiteral("#GET_FW"), kTimeout));
    // Unsolicited bytes queue behind the reply already on its way to `a`.
    sim.push("EVENT\r\n");
    QCOMPARE(readAtLeast(a.get(), 13), QByteArray("FW 1\r\nEVENT\r\n"));
    QCOMPARE(readAtLeast(b.get(), 7), QByteArray("EVENT\r\n"));
    QVERIFY(!b->waitForReadyRead(50));
}

void TestSimulator::udpDatagrams_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArrayList>("datagrams");

    QTest::newRow("text request") << Setup([](SimDevice& s) { s.addRule(SimRule::exact("#GET_FW").reply("FW 1")); })
                                  << QByteArray("#GET_FW\r") << QByteArrayList {"FW 1"};
    QTest::newRow("binary request, raw handler")
        << Setup([](SimDevice& s) {
               s.setLineMode(false);
               s.setRawHandler([&s](const QByteArray& data) {
                   QByteArray answer(data);
                   std::reverse(answer.begin(), answer.end());
                   s.reply(answer);
               });
           })
        << QByteArray("\x00\x01\r\xff", 4) << QByteArrayList {QByteArray("\xff\r\x01\x00", 4)};
    QTest::newRow("each chunk is a datagram")
        << Setup([](SimDevice& s) { s.addRule(SimRule::any().reply("ABCDEFGHIJ").chunked(4, 0)); })
        << QByteArray("?") << QByteArrayList {"ABCD", "EFGH", "IJ"};
}

void TestSimulator::udpDatagrams()
{
    QFETCH(Setup, setup);
    QFETCH(QByteArray, request);
    QFETCH(QByteArrayList, datagrams);

    SimDevice sim;
    setup(sim);
    QVERIFY(sim.startUdp());
    QVERIFY(sim.udpPort() != 0);

    QUdpSocket client;
    QVERIFY(client.bind(QHostAddress(QHostAddress::LocalHost), 0));
    QCOMPARE(client.writeDatagram(request, QHostAddress::LocalHost, sim.udpPort()), qint64(request.size()));

    QByteArrayList got;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            while (client.hasPendingDatagrams())
                got.append(client.receiveDatagram().data());
            return got.size() >= datagrams.size();
        }(),
        kTimeout);
    QCOMPARE(got, datagrams);
    QCOMPARE(sim.received(), request);
}

void TestSimulator::keepsAnsweringWhileTestThreadBlocks()
{
    EchoDevice sim;
    QVERIFY(sim.startPty());
    auto port = openSerial(sim.portName());
    QVERIFY(port->isOpen());
    port->write("#GET_FW\r");
    QVERIFY(port->waitForBytesWritten(kTimeout));

    // No event loop on this thread from here until the answer is already waiting in the port.
    const QDeadlineTimer deadline(kTimeout);
    while (port->bytesAvailable() < 19 && !deadline.hasExpired()) {
        QThread::msleep(10);
        port->waitForReadyRead(0);
    }
    QCOMPARE(port->readAll(), QByteArray("FW VERSION 1.2.3\r\n>"));
}

void TestSimulator::disconnectAllDropsEveryLink()
{
    SimDevice sim;
    QVERIFY(sim.startPty());
    QVERIFY(sim.startTcp());
    const QString portName = sim.portName();
    auto port = openSerial(portName);
    auto socket = connectTcp(sim.tcpPort());
    QTRY_COMPARE_WITH_TIMEOUT(sim.peerCount(), 2, kTimeout);

    sim.disconnectAll();
    QTRY_VERIFY_WITH_TIMEOUT(clientSawClose(port.get()) && clientSawClose(socket.get()), kTimeout);
    QCOMPARE(sim.peerCount(), 0);
    QVERIFY(!sim.isOpen(SimDevice::Transport::Pty));
    for (const SerialPortEntry& e : SerialPortLister::availablePorts())
        QVERIFY(e.portName != portName);
    // The network unit keeps listening; a new connection is answered.
    sim.setDefaultReply("?");
    auto again = connectTcp(sim.tcpPort());
    again->write("#X\r");
    QCOMPARE(readAtLeast(again.get(), 1), QByteArray("?"));
}

void TestSimulator::scheduledTaskRunsUnlessStopped()
{
    SimDevice sim;
    QVERIFY(sim.startTcp());
    auto socket = connectTcp(sim.tcpPort());
    QTRY_COMPARE_WITH_TIMEOUT(sim.peerCount(), 1, kTimeout);

    // A device event some time after start-up, e.g. a reboot banner.
    sim.schedule(1000, [&sim] { sim.push("BOOT OK\r\n>"); });
    QCOMPARE(readAtLeast(socket.get(), 10), QByteArray("BOOT OK\r\n>"));

    std::atomic<bool> ran {false};
    sim.schedule(int(100 / TimeScale::factor()), [&ran] { ran = true; });
    sim.stop();
    QTest::qWait(300);
    QVERIFY(!ran);
}

PLEXA_TEST_MAIN(TestSimulator)
#include "tst_simulator.moc"
