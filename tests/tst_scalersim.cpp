#include "plexatest.h"
#include "jovarissim.h"
#include "scalersim.h"
#include "zarricksim.h"
#include "serialports.h"

#include <QDeadlineTimer>
#include <QSerialPort>
#include <QTcpSocket>

#include <memory>

// The scaler family simulators, talked to with a plain serial port or socket, the way a unit
// on the bench would be: these tests pin down what the simulators answer, so the controller
// tests can rely on them.

namespace {

const int kTimeout = 5000;
// How long a unit that should stay quiet is given to speak anyway.
const int kQuietMs = 300;

std::unique_ptr<QSerialPort> openSerial(const QString& portName, qint32 rate)
{
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(portName);
    port->setBaudRate(rate);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite))
        qWarning("cannot open %s: %s", qPrintable(portName), qPrintable(port->errorString()));
    return port;
}

// What `device` receives until `done` holds for it (or the time-out passes).
QByteArray readUntil(QIODevice* device, const std::function<bool(const QByteArray&)>& done, int timeoutMs = kTimeout)
{
    QByteArray got;
    const QDeadlineTimer deadline(timeoutMs);
    while (!done(got) && !deadline.hasExpired()) {
        if (device->bytesAvailable() == 0)
            device->waitForReadyRead(10);
        got += device->readAll();
    }
    return got;
}

// Writes one line and collects the reply up to the ">" prompt.
QByteArray exchange(QIODevice* device, const QByteArray& line)
{
    device->write(line);
    return readUntil(device, [](const QByteArray& got) { return got.endsWith('>'); });
}

QByteArray quiet(QIODevice* device)
{
    return readUntil(device, [](const QByteArray&) { return false; }, kQuietMs);
}

} // namespace

class TestScalerSim : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SerialPortLister::clearRegisteredPorts(); }

    void scalerPortIdentity();
    void scalerSetGetRoundTrip_data();
    void scalerSetGetRoundTrip();
    void scalerBulkReplies();
    void scalerRejects_data();
    void scalerRejects();
    void scalerWrongRateGetsNoAnswer();
    void scalerBootLoader();

    void jovarisReplies_data();
    void jovarisReplies();
    void jovarisEchoAndHelpAtItsRateOnly();
    void jovarisRateSwitchAfterReply();
    void jovarisPassThroughSilence();

    void zarrickEdidModeAndLockPerInput();
    void cavroshReplies();
    void zarrickLongReplyInSegments();
};

void TestScalerSim::scalerPortIdentity()
{
    ScalerSim sim(ScalerSim::Model::Hdmi);
    QVERIFY(sim.start());
    bool found = false;
    for (const SerialPortEntry& e : SerialPortLister::availablePorts()) {
        if (e.portName == sim.portName())
            found = e.description.startsWith(QLatin1String("Darvosk"));
    }
    QVERIFY(found);
}

void TestScalerSim::scalerSetGetRoundTrip_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("set");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("get");
    QTest::addColumn<QByteArray>("reply");

    const int sdi = int(ScalerSim::Model::Sdi);
    const int dvi = int(ScalerSim::Model::Dvi);
    QTest::newRow("resolution from list B") << sdi << QByteArray("#SET_OUTPUT_RES 11") << "OUTPUT_RES"
                                            << QByteArray("#GET_OUTPUT_RES")
                                            << QByteArray("OUTPUT RESOLUTION IS 3G-A (1080p) 60Hz\r\n>");
    QTest::newRow("resolution from list A") << dvi << QByteArray("#SET_OUTPUT_RES 21") << "OUTPUT_RES"
                                            << QByteArray("#GET_OUTPUT_RES")
                                            << QByteArray("OUTPUT RESOLUTION IS Auto-Detect\r\n>");
    QTest::newRow("choice in capitals") << dvi << QByteArray("#SET_EDGE_ENHANCE 3") << "EDGE_ENHANCE"
                                        << QByteArray("#GET_EDGE_ENHANCE")
                                        << QByteArray("PICTURE EDGE ENHANCEMENT IS USER\r\n>");
    QTest::newRow("colour balance channel") << dvi << QByteArray("#SET_COLOR_BALANCE 2 77") << "COLOR_BALANCE 2"
                                            << QByteArray("#GET_COLOR_BALANCE 2")
                                            << QByteArray("PICTURE COLOR BALANCE BLUE CHANNEL IS 77\r\n>");
    QTest::newRow("negative scan") << dvi << QByteArray("#SET_UO_SCAN -5") << "UO_SCAN"
                                   << QByteArray("#GET_UO_SCAN") << QByteArray("UNDER/OVER SCAN IS -5%\r\n>");
    QTest::newRow("phase 0 is automatic") << dvi << QByteArray("#SET_PHASE 0") << "PHASE"
                                          << QByteArray("#GET_PHASE") << QByteArray("PHASE IS AUTO\r\n>");
    QTest::newRow("OSD time-out off") << dvi << QByteArray("#SET_OSD_TIMEOUT 0") << "OSD_TIMEOUT"
                                      << QByteArray("#GET_OSD_TIMEOUT") << QByteArray("OSD TIMEOUT IS OFF\r\n>");
    QTest::newRow("OSD time-out seconds") << dvi << QByteArray("#SET_OSD_TIMEOUT 15") << "OSD_TIMEOUT"
                                          << QByteArray("#GET_OSD_TIMEOUT")
                                          << QByteArray("OSD TIMEOUT IS 15 SECONDS\r\n>");
    QTest::newRow("mirror") << dvi << QByteArray("#SET_HORIZONTAL_MIRROR 1") << "HORIZONTAL_MIRROR"
                            << QByteArray("#GET_HORIZONTAL_MIRROR") << QByteArray("HORIZONTAL MIRROR IS ON\r\n>");
    QTest::newRow("EDID mode of the HDMI input") << sdi << QByteArray("#SET_EDID_MODE 1 1") << "EDID_MODE 1"
                                                 << QByteArray("#GET_EDID_MODE 1")
                                                 << QByteArray("EDID MODE IS CUSTOM\r\n>");
}

void TestScalerSim::scalerSetGetRoundTrip()
{
    QFETCH(int, model);
    QFETCH(QByteArray, set);
    QFETCH(QString, key);
    QFETCH(QByteArray, get);
    QFETCH(QByteArray, reply);

    ScalerSim sim {ScalerSim::Model(model)};
    QVERIFY(sim.start());
    auto port = openSerial(sim.portName(), ScalerSim::CommandRate);
    QVERIFY(port->isOpen());
    QTRY_COMPARE_WITH_TIMEOUT(sim.serialSettings().baudRate, ScalerSim::CommandRate, kTimeout);

    // The set is answered with the new value, as the query answers it.
    QCOMPARE(exchange(port.get(), set + "\r"), reply);
    QCOMPARE(exchange(port.get(), get + "\r"), reply);
    const QList<ScalerSim::SetRecord> sets = sim.sets();
    QCOMPARE(sets.size(), 1);
    QCOMPARE(sets.first().key, key);
    QCOMPARE(sets.first().argument, QString::fromLatin1(set.mid(set.lastIndexOf(' ') + 1)));
    QCOMPARE(sim.setting(key), sets.first().value);

    // What the test writes into the table is what the unit reports.
    sim.setSetting(key, QStringLiteral("SOMETHING ELSE"));
    QVERIFY(exchange(port.get(), get + "\r").endsWith(" IS SOMETHING ELSE\r\n>"));
}

void TestScalerSim::scalerBulkReplies()
{
    // The picture reply has colour range on line 4 for the VGA scalers, colour temperature for
    // the two-input one; the two-input one reports its output lock on the second output line.
    struct Case {
        ScalerSim::Model model;
        int pictureLines;
        QByteArray pictureLine4;
        QByteArray outputLine1;
    };
    const QList<Case> cases {
        {ScalerSim::Model::Sdi, 10, "PICTURE COLOR TEMPERATURE IS NEUTRAL", "OUTPUT IS FREE RUN"},
        {ScalerSim::Model::Hdmi, 11, "PICTURE COLOR RANGE IS FULL", "OUTPUT COLOR SPACE IS RGB 4:4:4"},
    };
    for (const Case& c : cases) {
        ScalerSim sim(c.model);
        QVERIFY(sim.start());
        auto port = openSerial(sim.portName(), ScalerSim::CommandRate);
        QTRY_COMPARE_WITH_TIMEOUT(sim.serialSettings().baudRate, ScalerSim::CommandRate, kTimeout);

        QByteArray reply = exchange(port.get(), "#GET_PICTURE_SETTINGS\r");
        QVERIFY(reply.endsWith("\r\n>"));
        QList<QByteArray> lines = reply.chopped(3).split('\n');
        QCOMPARE(lines.size(), c.pictureLines);
        QCOMPARE(lines.at(4).trimmed(), c.pictureLine4);
        QCOMPARE(lines.last(), QByteArray("PICTURE SHARPNESS IS 50"));

        reply = exchange(port.get(), "#GET_VIDEO_OUTPUT\r");
        lines = reply.chopped(3).split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(1).trimmed(), c.outputLine1);

        reply = exchange(port.get(), "#GET_VIDEO_SETTINGS\r");
        QCOMPARE(reply.chopped(3).split('\n').size(), 7);
        QVERIFY(reply.contains("PHASE IS AUTO"));
    }
}

void TestScalerSim::scalerRejects_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("unknown command") << QByteArray("#SET_WARP_DRIVE 1");
    QTest::newRow("unknown verb") << QByteArray("#FROBNICATE");
    QTest::newRow("value out of range") << QByteArray("#SET_CONTRAST 101");
    QTest::newRow("position past the list") << QByteArray("#SET_ASPECT_RATIO 4");
    QTest::newRow("not a number") << QByteArray("#SET_CONTRAST high");
    QTest::newRow("read-only setting") << QByteArray("#SET_FIRMWARE_VERSION 2");
    QTest::newRow("missing value") << QByteArray("#SET_HUE");
}

void TestScalerSim::scalerRejects()
{
    QFETCH(QByteArray, line);
    ScalerSim sim;
    QVERIFY(sim.start());
    auto port = openSerial(sim.portName(), ScalerSim::CommandRate);
    QTRY_COMPARE_WITH_TIMEOUT(sim.serialSettings().baudRate, ScalerSim::CommandRate, kTimeout);
    const QMap<QString, QString> before = sim.settings();

    const QByteArray reply = exchange(port.get(), line + "\r");
    QVERIFY2(reply.toLower().contains("wrong"), reply.constData());
    QCOMPARE(sim.settings(), before);
    QVERIFY(sim.sets().isEmpty());
}

void TestScalerSim::scalerWrongRateGetsNoAnswer()
{
    ScalerSim sim;
    sim.setEcho(true);
    QVERIFY(sim.start());
    auto port = openSerial(sim.portName(), ScalerSim::BootLoaderRate);
    QTRY_COMPARE_WITH_TIMEOUT(sim.serialSettings().baudRate, ScalerSim::BootLoaderRate, kTimeout);

    // At 115200 the running firmware hears neither text nor the boot loader's ping.
    port->write("#GET_HUE\r");
    port->write(QByteArray("\x03\x20\x20", 3));
    QVERIFY(sim.waitForReceived(QByteArray("\x03\x20\x20", 3)));
    QCOMPARE(quiet(port.get()), QByteArray());
    QVERIFY(sim.requests().isEmpty());

    // At its own rate it answers, the echo first.
    QVERIFY(port->setBaudRate(ScalerSim::CommandRate));
    QTRY_COMPARE_WITH_TIMEOUT(sim.serialSettings().baudRate, ScalerSim::CommandRate, kTimeout);
    QCOMPARE(exchange(port.get(), "#GET_HUE\r"), QByteArray("#GET_HUE\rPICTURE HUE IS 50\r\n>"));
}

void TestScalerSim::scalerBootLoader()
{
    const QByteArray ping("\x03\x20\x20", 3);
    const QByteArray ack("\x00\xcc", 2);
    auto waitForBytes = [](QIODevice* d, int n) {
        return readUntil(d, [n](const QByteArray& got) { return got.size() >= n; });
    };

    ScalerSim sim;
    QVERIFY(sim.start());
    auto port = openSerial(sim.portName(), ScalerSim::CommandRate);
    QTRY_COMPARE_WITH_TIMEOUT(sim.serialSettings().baudRate, ScalerSim::CommandRate, kTimeout);

    // The firmware hands over to its boot loader when asked; its text answer still goes out.
    QVERIFY(exchange(port.get(), "#FW_UPGRADE\r").endsWith('>'));
    QVERIFY(sim.inBootLoader());
    QVERIFY(port->setBaudRate(ScalerSim::BootLoaderRate));
    QTRY_COMPARE_WITH_TIMEOUT(sim.serialSettings().baudRate, ScalerSim::BootLoaderRate, kTimeout);

    port->write(ping);
    QCOMPARE(waitForBytes(port.get(), 2), ack);
    // Get status: acknowledged, then the success status; the host's CC in return is skipped.
    port->write(QByteArray("\x03\x23\x23", 3));
    QCOMPARE(waitForBytes(port.get(), 5), ack + QByteArray("\x03\x40\x40", 3));
    port->write(QByteArray("\xcc", 1));
    // A packet with a wrong sum and text commands get no answer.
    port->write(QByteArray("\x04\x99\x2e\x01", 4));
    port->write("#GET_HUE\r");
    QCOMPARE(quiet(port.get()), QByteArray());
    port->write(ping);
    QCOMPARE(waitForBytes(port.get(), 2), ack);
    QCOMPARE(sim.bootLoaderPackets(), (QList<QByteArray> {ping, QByteArray("\x03\x23\x23", 3), ping}));

    // Nothing at the command rate either.
    QVERIFY(port->setBaudRate(ScalerSim::CommandRate));
    QTRY_COMPARE_WITH_TIMEOUT(sim.serialSettings().baudRate, ScalerSim::CommandRate, kTimeout);
    port->write(ping);
    port->write("#GET_HUE\r");
    QCOMPARE(quiet(port.get()), QByteArray());

    // A unit left in its boot loader (enterBootLoader) answers the ping at once; a reset packet
    // starts the firmware again.
    ScalerSim stuck(ScalerSim::Model::Dvi);
    stuck.enterBootLoader();
    QVERIFY(stuck.start());
    auto second = openSerial(stuck.portName(), ScalerSim::BootLoaderRate);
    QTRY_COMPARE_WITH_TIMEOUT(stuck.serialSettings().baudRate, ScalerSim::BootLoaderRate, kTimeout);
    second->write(ping);
    QCOMPARE(waitForBytes(second.get(), 2), ack);
    second->write(QByteArray("\x03\x25\x25", 3));
    QCOMPARE(waitForBytes(second.get(), 2), ack);
    QTRY_VERIFY_WITH_TIMEOUT(!stuck.inBootLoader(), kTimeout);
}

// ---- Jovaris family ----------------------------------------------------------------------------

namespace {

// A started Jovaris-family unit and a port open at its rate.
struct JovarisBench {
    explicit JovarisBench(JovarisSim::Model model)
        : sim(model)
    {
        if (!sim.start())
            return;
        port = openSerial(sim.portName(), sim.baudRate());
        // ready() tells the test whether the port came up at the unit's rate.
        (void)QTest::qWaitFor([&] { return sim.serialSettings().baudRate == sim.baudRate(); }, kTimeout);
    }
    bool ready() const { return port && port->isOpen() && sim.serialSettings().baudRate == sim.baudRate(); }

    JovarisSim sim;
    std::unique_ptr<QSerialPort> port;
};

} // namespace

void TestScalerSim::jovarisReplies_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QByteArray>("reply"); // to the last line, echo off

    const int jovaris = int(JovarisSim::Model::Jovaris);
    const int norrith = int(JovarisSim::Model::Norrith);
    const int surrow = int(JovarisSim::Model::Surrow);
    const QByteArray edidHex = JovarisSim::sampleEdid(2).toHex().toUpper();

    QTest::newRow("value query") << jovaris << QByteArrayList {"#GET_AUTO_SWITCH"} << QByteArray("AUTO_SWITCH 1\r\n>");
    QTest::newRow("set, then query") << jovaris << QByteArrayList {"#SET_VOL 33", "#GET_VOL"}
                                     << QByteArray("VOL 33\r\n>");
    QTest::newRow("set answered with its words") << norrith << QByteArrayList {"#SET_MUTE 1"}
                                                 << QByteArray("MUTE 1\r\n>");
    QTest::newRow("firmware, Jovaris") << jovaris << QByteArrayList {"#GET_FIRMWARE_VERSION"}
                                       << QByteArray("VERSION 1.0.2\r\nHW A1\r\n>");
    QTest::newRow("firmware, Norrith") << norrith << QByteArrayList {"#GET_FIRMWARE_VERSION"}
                                       << QByteArray("1.0.2\r\n>");
    QTest::newRow("routing, Jovaris") << jovaris << QByteArrayList {"V DP", "S"} << QByteArray("ROUTE DP\r\n>");
    QTest::newRow("routing, Surrow") << surrow << QByteArrayList {"R D", "S"} << QByteArray("ROUTE D\r\n>");
    QTest::newRow("a Surrow routes with R only") << surrow << QByteArrayList {"V D"} << QByteArray("WRONG_COMMAND\r\n>");
    QTest::newRow("input mode per input") << surrow << QByteArrayList {"#SET_INPUT_MODE D 1", "#GET_INPUT_MODE D"}
                                          << QByteArray("INPUT_MODE D 1\r\n>");
    QTest::newRow("colour balance channel") << norrith
                                            << QByteArrayList {"#SET_COLOR_BALANCE G 70", "#GET_COLOR_BALANCE 0"}
                                            << QByteArray("COLOR_BALANCE 50 70 50\r\n>");
    QTest::newRow("polarity") << norrith << QByteArrayList {"#SET_POLARITY V -", "#GET_POLARITY 0"}
                              << QByteArray("POLARITY H + V -\r\n>");
    QTest::newRow("image stretch") << norrith << QByteArrayList {"#SET_IMAGE_STRETCH W - 3", "#GET_IMAGE_STRETCH 0"}
                                   << QByteArray("IMAGE_STRETCH W - 3 H + 0\r\n>");
    QTest::newRow("custom EDID mode, Jovaris") << jovaris << QByteArrayList {"#SET_EDID_MODE 4", "#GET_EDID_MODE"}
                                               << QByteArray("EDID_MODE 4\r\n>");
    QTest::newRow("past the Jovaris modes") << jovaris << QByteArrayList {"#SET_EDID_MODE 5"}
                                            << QByteArray("WRONG_PARAMETER\r\n>");
    QTest::newRow("custom EDID mode, Norrith") << norrith << QByteArrayList {"#SET_EDID_MODE 6"}
                                               << QByteArray("EDID_MODE 6\r\n>");
    QTest::newRow("internal EDID") << norrith << QByteArrayList {"#GET_INTERNAL_EDID 1"} << edidHex + "\r\n>";
    QTest::newRow("no custom EDID") << jovaris << QByteArrayList {"#GET_CUSTOM_EDID"} << QByteArray("NO USER\r\n>");
    QTest::newRow("unknown") << jovaris << QByteArrayList {"#GET_WARP"} << QByteArray("WRONG_COMMAND\r\n>");
}

void TestScalerSim::jovarisReplies()
{
    QFETCH(int, model);
    QFETCH(QByteArrayList, lines);
    QFETCH(QByteArray, reply);

    JovarisBench bench {JovarisSim::Model(model)};
    QVERIFY(bench.ready());
    bench.sim.setEcho(false);
    QByteArray last;
    for (const QByteArray& line : lines)
        last = exchange(bench.port.get(), line + "\r\n");
    QCOMPARE(last, reply);
}

void TestScalerSim::jovarisEchoAndHelpAtItsRateOnly()
{
    // A unit set to 57600 hears nothing at 115200, and at 57600 echoes the probe and lists its
    // commands.
    JovarisSim sim;
    sim.setBaudRate(57600);
    QVERIFY(sim.start());
    auto port = openSerial(sim.portName(), 115200);
    QTRY_COMPARE_WITH_TIMEOUT(sim.serialSettings().baudRate, 115200, kTimeout);
    port->write("#HELP\r\n");
    QVERIFY(sim.waitForReceived("#HELP\r\n"));
    QCOMPARE(quiet(port.get()), QByteArray());

    QVERIFY(port->setBaudRate(57600));
    QTRY_COMPARE_WITH_TIMEOUT(sim.serialSettings().baudRate, 57600, kTimeout);
    const QByteArray help = exchange(port.get(), "#HELP\r\n");
    QVERIFY(help.startsWith("#HELP\r\n"));
    QVERIFY(help.contains("#SET_RS232_BAUD"));
    QVERIFY(help.endsWith("\r\n>"));
    // Echo first, then the answer.
    QCOMPARE(exchange(port.get(), "#GET_MUTE\r\n"), QByteArray("#GET_MUTE\r\nMUTE 0\r\n>"));
}

void TestScalerSim::jovarisRateSwitchAfterReply()
{
    JovarisBench bench {JovarisSim::Model::Jovaris};
    QVERIFY(bench.ready());
    bench.sim.setEcho(false);
    QSerialPort* port = bench.port.get();

    // The answer still comes at the old rate; the unit then listens at 9600 only.
    QCOMPARE(exchange(port, "#SET_RS232_BAUD 4\r\n"), QByteArray("RS232_BAUD 4\r\n>"));
    QCOMPARE(bench.sim.baudRate(), 9600);
    QCOMPARE(bench.sim.setting("RS232_BAUD"), QStringLiteral("4"));
    port->write("#GET_VOL\r\n");
    QCOMPARE(quiet(port), QByteArray());

    QVERIFY(port->setBaudRate(9600));
    QTRY_COMPARE_WITH_TIMEOUT(bench.sim.serialSettings().baudRate, 9600, kTimeout);
    QCOMPARE(exchange(port, "#GET_RS232_BAUD\r\n"), QByteArray("RS232_BAUD 4\r\n>"));

    // A factory reset brings the factory rate back, again after its answer.
    QVERIFY(exchange(port, "#FACTORY_RESET\r\n").endsWith('>'));
    QCOMPARE(bench.sim.baudRate(), JovarisSim::factoryRate(JovarisSim::Model::Jovaris));
}

void TestScalerSim::jovarisPassThroughSilence()
{
    JovarisBench bench {JovarisSim::Model::Surrow};
    QVERIFY(bench.ready());
    bench.sim.setPassThroughSilence(true);
    bench.port->write("#GET_RS232_MODE\r\n");
    QVERIFY(bench.sim.waitForRequest("#GET_RS232_MODE"));
    QCOMPARE(quiet(bench.port.get()), QByteArray());

    bench.sim.setPassThroughSilence(false);
    QCOMPARE(exchange(bench.port.get(), "#GET_RS232_MODE\r\n"), QByteArray("#GET_RS232_MODE\r\nRS232_MODE 2\r\n>"));
}

// ---- Zarrick and Cavrosh ------------------------------------------------------------------------

namespace {

std::unique_ptr<QTcpSocket> connectTo(SimDevice& sim)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, sim.tcpPort());
    if (!socket->waitForConnected(kTimeout) || !QTest::qWaitFor([&] { return sim.peerCount() == 1; }, kTimeout))
        qWarning("no connection to the simulator: %s", qPrintable(socket->errorString()));
    return socket;
}

} // namespace

void TestScalerSim::zarrickEdidModeAndLockPerInput()
{
    ZarrickSim sim;
    QVERIFY(sim.start());
    auto socket = connectTo(sim);
    QTcpSocket* s = socket.get();

    QCOMPARE(exchange(s, "#GET_FIRMWARE_VERSION\n\r"), QByteArray("FIRMWARE VERSION IS 2.1.0\n\r>"));
    QCOMPARE(exchange(s, "#SET_EDID_MODE 3 4\n\r"), QByteArray("INPUT 3 EDID_MODE SET 4\n\r>"));
    QCOMPARE(exchange(s, "#GET_EDID_MODE 3\n\r"), QByteArray("INPUT 3 EDID_MODE 4\n\r>"));
    // The other inputs keep their own mode.
    QCOMPARE(exchange(s, "#GET_EDID_MODE 1\n\r"), QByteArray("INPUT 1 EDID_MODE 2\n\r>"));
    QCOMPARE(sim.edidMode(3), 4);
    QCOMPARE(sim.edidMode(2), 2);

    QCOMPARE(exchange(s, "#SET_EDID_LOCK 3 1\n\r"), QByteArray("INPUT 3 EDID_LOCK SET 1\n\r>"));
    QCOMPARE(exchange(s, "#GET_EDID_LOCK 3\n\r"), QByteArray("INPUT 3 EDID_LOCK 1\n\r>"));
    QCOMPARE(exchange(s, "#GET_EDID_LOCK 2\n\r"), QByteArray("INPUT 2 EDID_LOCK 0\n\r>"));
    QVERIFY(sim.edidLocked(3));
    QVERIFY(!sim.edidLocked(4));

    // Inputs and modes outside the unit's range, and a mode query without its input, are refused.
    for (const QByteArray line : {"#SET_EDID_MODE 5 1", "#SET_EDID_MODE 1 5", "#GET_EDID_MODE", "#SET_EDID_LOCK 1 2"})
        QCOMPARE(exchange(s, line + "\n\r"), QByteArray("WRONG_PARAMETER\n\r>"));
    QCOMPARE(sim.edidMode(1), 2);
    QCOMPARE(exchange(s, "#GET_CUSTOM_EDID 2\n\r"), QByteArray("NO USER\n\r>"));
}

void TestScalerSim::cavroshReplies()
{
    ZarrickSim sim(ZarrickSim::Model::Cavrosh);
    QVERIFY(sim.start());
    auto socket = connectTo(sim);
    QTcpSocket* s = socket.get();

    QCOMPARE(exchange(s, "#GET_FIRMWARE_VERSION\n\r"), QByteArray("CAVROSH FIRMWARE VERSION IS 2.1.0\n\r>"));
    QCOMPARE(exchange(s, "#SET_EDID_MODE 8\n\r"), QByteArray("EDID_MODE SET TO 8\n\r>"));
    QCOMPARE(exchange(s, "#GET_EDID_MODE\n\r"), QByteArray("EDID_MODE IS 8\n\r>"));
    QCOMPARE(exchange(s, "#SET_EDID_LOCK 1\n\r"), QByteArray("EDID_LOCK SET TO 1\n\r>"));
    QCOMPARE(exchange(s, "#GET_EDID_LOCK\n\r"), QByteArray("EDID_LOCK IS 1\n\r>"));
    QCOMPARE(exchange(s, "#SET_EDID_MODE 9\n\r"), QByteArray("WRONG_PARAMETER\n\r>"));
    QCOMPARE(exchange(s, "#GET_EXTERNAL_EDID 3\n\r"),
             ZarrickSim::sampleEdid(43).toHex().toUpper() + "\n\r>");
    QCOMPARE(sim.edidMode(), 8);
    QVERIFY(sim.edidLocked());
}

void TestScalerSim::zarrickLongReplyInSegments()
{
    ZarrickSim sim;
    sim.setEdid(QStringLiteral("CUSTOM 1"), ZarrickSim::sampleEdid(7));
    const QByteArray whole = ZarrickSim::sampleEdid(7).toHex().toUpper() + "\n\r>";
    sim.setReplySegments({150, 60}, 5000);
    QVERIFY(sim.start());
    auto socket = connectTo(sim);

    // The pieces arrive one by one, in order, and make up the whole answer.
    socket->write("#GET_CUSTOM_EDID 1\n\r");
    QList<int> arrivals;
    QByteArray got;
    const QDeadlineTimer deadline(kTimeout);
    while (got.size() < whole.size() && !deadline.hasExpired()) {
        if (socket->waitForReadyRead(10)) {
            got += socket->readAll();
            arrivals.append(got.size());
        }
    }
    QCOMPARE(got, whole);
    // (A piece may reach the socket in more than one read, but no read spans two pieces.)
    QVERIFY2(arrivals.contains(150) && arrivals.contains(210), qPrintable(QString::number(arrivals.size())));

    // A rule cuts one answer short and sends nothing more.
    sim.addRule(SimRule::exact("#GET_FIRMWARE_VERSION").reply("FIRMWARE VERSION IS 2.1.0\n\r>").partial(10));
    socket->write("#GET_FIRMWARE_VERSION\n\r");
    QCOMPARE(readUntil(socket.get(), [](const QByteArray& b) { return b.size() >= 10; }), QByteArray("FIRMWARE V"));
    QCOMPARE(quiet(socket.get()), QByteArray());
}

PLEXA_TEST_MAIN(TestScalerSim)
#include "tst_scalersim.moc"
