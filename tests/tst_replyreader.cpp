#include "baudprobe.h"
#include "plexatest.h"
#include "replyreader.h"
#include "staleinput.h"
#include "serialports.h"
#include "simdevice.h"
#include "timescale.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QTcpSocket>
#include <QThread>

#include <memory>

namespace {

const int kTimeout = 10000;

enum class Kind { Serial, Family, Tcp, EchoingSerial };

ReplyRules rulesFor(Kind kind)
{
    switch (kind) {
    case Kind::Serial:
        return ReplyRules::serial();
    case Kind::Family:
        return ReplyRules::family();
    case Kind::Tcp:
        return ReplyRules::tcp();
    case Kind::EchoingSerial: {
        ReplyRules r = ReplyRules::serial();
        r.dropEcho = true;
        return r;
    }
    }
    return ReplyRules();
}

// Opens the program's side of a simulated unit: its pty at 115200 8N1, or a TCP connection to
// its loopback listener.
std::unique_ptr<QIODevice> connectTo(SimDevice& sim, const QString& transport)
{
    if (transport == QLatin1String("pty")) {
        if (!sim.startPty())
            return nullptr;
        auto port = std::make_unique<QSerialPort>();
        port->setPortName(sim.portName());
        port->setBaudRate(115200);
        if (!port->open(QIODevice::ReadWrite))
            return nullptr;
        return port;
    }
    if (!sim.startTcp())
        return nullptr;
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, sim.tcpPort());
    if (!socket->waitForConnected(kTimeout))
        return nullptr;
    // A reply can only find the connection once the simulator has taken it.
    if (!QTest::qWaitFor([&] { return sim.peerCount() == 1; }, kTimeout))
        return nullptr;
    return socket;
}

QString hexText(int chars)
{
    QString s;
    for (int i = 0; i < chars; ++i)
        s += QLatin1Char("0123456789ABCDEF"[(i * 7) % 16]);
    return s;
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestReplyReader : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SerialPortLister::clearRegisteredPorts(); }

    // The pure collector.
    void chunks_data();
    void chunks();
    void quietCompletion();
    void neverEndingReplyHitsTheLimit();

    // One exchange against a simulated unit.
    void transports_data();
    void splitReplyIsNotTruncated_data() { transports_data(); }
    void splitReplyIsNotTruncated();
    void lateReplyIsNotTakenForTheNext_data() { transports_data(); }
    void lateReplyIsNotTakenForTheNext();
    void replyStillComingIsDropped_data() { transports_data(); }
    void replyStillComingIsDropped();
    void silenceTimesOut_data();
    void silenceTimesOut();
    void unitVanishingMidReply_data() { transports_data(); }
    void unitVanishingMidReply();

    // The baud probe.
    void probeFindsTheUnitsRate();
    void probeWithoutAnswerTriesEveryRate();
};

void TestReplyReader::chunks_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QByteArray>("echo");
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("words");

    const QByteArray none;
    QTest::newRow("one chunk") << Kind::Serial << none
                               << QByteArrayList {"OUTPUT RESOLUTION IS 1080P\r\n>"} << true
                               << "OUTPUT RESOLUTION IS 1080P"
                               << QStringList {"OUTPUT", "RESOLUTION", "IS", "1080P"};
    QTest::newRow("prompt alone") << Kind::Serial << none << QByteArrayList {">"} << true << ""
                                  << QStringList {""};
    QTest::newRow("split inside a word") << Kind::Serial << none
                                         << QByteArrayList {"OSD TIME", "OUT IS 1", "5\r", "\n>"}
                                         << true << "OSD TIMEOUT IS 15"
                                         << QStringList {"OSD", "TIMEOUT", "IS", "15"};
    QTest::newRow("no prompt yet") << Kind::Serial << none << QByteArrayList {"OSD TIMEOUT IS"}
                                   << false << "OSD TIMEOUT IS"
                                   << QStringList {"OSD", "TIMEOUT", "IS"};
    QTest::newRow("every prompt removed") << Kind::Serial << none
                                          << QByteArrayList {">A>B>\r\n>"} << true << "AB"
                                          << QStringList {"AB"};
    QTest::newRow("two blanks give an empty word") << Kind::Serial << none
                                                   << QByteArrayList {"EDID  LOCKED\r\n>"} << true
                                                   << "EDID  LOCKED"
                                                   << QStringList {"EDID", "", "LOCKED"};
    QTest::newRow("line ends stay in words") << Kind::Serial << none
                                             << QByteArrayList {"FW 1.2\r\nHW 3 >"} << true
                                             << "FW 1.2\r\nHW 3"
                                             << QStringList {"FW", "1.2\r\nHW", "3"};
    QTest::newRow("0xB0 is the degree sign") << Kind::Serial << none
                                             << QByteArrayList {"TEMP 45\xB0", "C\r\n>"} << true
                                             << QString("TEMP 45") + QChar(0xB0) + "C"
                                             << QStringList {"TEMP", QString("45") + QChar(0xB0) + "C"};
    QTest::newRow("a NUL byte is a character") << Kind::Serial << none
                                               << QByteArrayList {QByteArray("A\0B", 3), "C>"} << true
                                               << QString::fromLatin1("A\0BC", 4)
                                               << QStringList {QString::fromLatin1("A\0BC", 4)};

    // The family sender waits for the prompt at the end of a reply of at least two characters.
    QTest::newRow("family: prompt alone is not a reply") << Kind::Family << none
                                                         << QByteArrayList {" >\r\n"} << false << ""
                                                         << QStringList {""};
    QTest::newRow("family: prompt inside is not the end") << Kind::Family << none
                                                          << QByteArrayList {"A>B"} << false << "AB"
                                                          << QStringList {"AB"};
    QTest::newRow("family: ends in the prompt") << Kind::Family << none
                                                << QByteArrayList {"SEND_COMPLETE\r\n", ">\r\n"}
                                                << true << "SEND_COMPLETE"
                                                << QStringList {"SEND_COMPLETE"};

    // TCP: the prompt becomes a blank; a prompt chunk joins the text before it with one blank
    // while that text is at most 200 characters long, directly after that.
    QTest::newRow("tcp: two chunks") << Kind::Tcp << none
                                     << QByteArrayList {"EDID MODE", "4 4 1 1>"} << false
                                     << "EDID MODE 4 4 1 1"
                                     << QStringList {"EDID", "MODE", "4", "4", "1", "1"};
    QTest::newRow("tcp: 200 characters still get the blank")
        << Kind::Tcp << none << QByteArrayList {hexText(200).toLatin1(), "AB\r\n>"} << false
        << hexText(200) + " AB" << QStringList {hexText(200), "AB"};
    QTest::newRow("tcp: over 200 characters joined directly")
        << Kind::Tcp << none << QByteArrayList {hexText(201).toLatin1(), "AB\r\n>"} << false
        << hexText(201) + "AB" << QStringList {hexText(201) + "AB"};
    QTest::newRow("tcp: prompt alone") << Kind::Tcp << none << QByteArrayList {">"} << false << ""
                                       << QStringList {""};
    QTest::newRow("tcp: prompt becomes a blank") << Kind::Tcp << none
                                                 << QByteArrayList {"LOCK>0>"} << false << "LOCK 0"
                                                 << QStringList {"LOCK", "0"};

    // Units that echo: the command line comes back first and is not part of the answer.
    QTest::newRow("echo dropped") << Kind::EchoingSerial << QByteArray("#GET_FW\r\n")
                                  << QByteArrayList {"#GET_FW\r\nFW 1.2\r\n>"} << true << "FW 1.2"
                                  << QStringList {"FW", "1.2"};
    QTest::newRow("echo split over chunks") << Kind::EchoingSerial << QByteArray("#GET_FW\r")
                                            << QByteArrayList {"#GE", "T_FW", "\r", "\nFW 1.2>"}
                                            << true << "FW 1.2" << QStringList {"FW", "1.2"};
    QTest::newRow("no echo: the answer is kept") << Kind::EchoingSerial << QByteArray("#GET_FW\r")
                                                 << QByteArrayList {"FW 1.2>"} << true << "FW 1.2"
                                                 << QStringList {"FW", "1.2"};
    QTest::newRow("a longer first line is no echo") << Kind::EchoingSerial << QByteArray("#GET")
                                                    << QByteArrayList {"#GET_FW\r\nX>"} << true
                                                    << "#GET_FW\r\nX" << QStringList {"#GET_FW\r\nX"};
    // A unit that confirms a command by repeating it: the line followed by the prompt is the
    // answer, echoed or not.
    QTest::newRow("family: confirmed by repetition") << Kind::Family << QByteArray("V H\r\n")
                                                     << QByteArrayList {"V H\r\n>"} << true << "V H"
                                                     << QStringList {"V", "H"};
    QTest::newRow("family: repetition in pieces") << Kind::Family << QByteArray("#SET_VOL 40\r\n")
                                                  << QByteArrayList {"#SET_V", "OL 40\r", "\n", ">"} << true
                                                  << "#SET_VOL 40" << QStringList {"#SET_VOL", "40"};
    QTest::newRow("family: echo, then repetition") << Kind::Family << QByteArray("V H\r\n")
                                                   << QByteArrayList {"V H\r\nV H\r\n>"} << true << "V H"
                                                   << QStringList {"V", "H"};
    QTest::newRow("family: echo, then answer") << Kind::Family << QByteArray("V H\r\n")
                                               << QByteArrayList {"V H\r\n", "ROUTE H\r\n>"} << true
                                               << "ROUTE H" << QStringList {"ROUTE", "H"};
    QTest::newRow("family: the line alone, no prompt yet") << Kind::Family << QByteArray("V H\r\n")
                                                           << QByteArrayList {"V H\r\n"} << false << "V H"
                                                           << QStringList {"V", "H"};
    QTest::newRow("echo kept when the unit does not echo") << Kind::Serial << QByteArray("#GET_FW\r")
                                                           << QByteArrayList {"#GET_FW\r\nFW 1.2>"}
                                                           << true << "#GET_FW\r\nFW 1.2"
                                                           << QStringList {"#GET_FW\r\nFW", "1.2"};
}

void TestReplyReader::chunks()
{
    QFETCH(Kind, kind);
    QFETCH(QByteArray, echo);
    QFETCH(QByteArrayList, chunks);
    QFETCH(bool, complete);
    QFETCH(QString, text);
    QFETCH(QStringList, words);

    ReplyCollector collector(rulesFor(kind));
    collector.reset(echo);
    for (const QByteArray& chunk : chunks)
        collector.feed(chunk);
    QCOMPARE(collector.isComplete(), complete);
    QCOMPARE(collector.text(), text);
    QCOMPARE(collector.words(), words);
    QVERIFY(!collector.isTooLarge());

    // The serial text does not depend on how the bytes were cut.
    if (kind != Kind::Tcp) {
        ReplyCollector whole(rulesFor(kind));
        whole.reset(echo);
        whole.feed(chunks.join());
        QCOMPARE(whole.text(), text);
        QCOMPARE(whole.isComplete(), complete);
    }
}

void TestReplyReader::quietCompletion()
{
    ReplyCollector collector(ReplyRules::tcp());
    QVERIFY(!collector.isComplete(5000)); // nothing came: a time-out, not an empty reply
    collector.feed("EDID MODE", 100);
    collector.feed("4 4 4 4>", 900);
    QVERIFY(!collector.isComplete(2199));
    QVERIFY(collector.isComplete(2200));
    QCOMPARE(collector.words(), (QStringList {"EDID", "MODE", "4", "4", "4", "4"}));
}

void TestReplyReader::neverEndingReplyHitsTheLimit()
{
    for (const Kind kind : {Kind::Serial, Kind::Tcp}) {
        ReplyCollector collector(rulesFor(kind));
        const QByteArray chunk(64 * 1024 - 1, 'A');
        int fed = 0;
        while (!collector.isTooLarge() && fed < 100) {
            collector.feed(chunk, fed);
            ++fed;
        }
        QVERIFY(collector.isTooLarge());
        QCOMPARE(collector.rawText().size(), 1 << 20);
        QVERIFY(collector.text().size() <= 1 << 20);
        collector.feed(">", fed + 1);
        QCOMPARE(collector.rawText().size(), 1 << 20); // nothing more is taken
        QVERIFY(!collector.isComplete(1000000));
    }
}

void TestReplyReader::transports_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("blocking");
    QTest::newRow("serial") << "pty" << Kind::Serial << false;
    QTest::newRow("tcp, joined chunks") << "tcp" << Kind::Tcp << true;
    QTest::newRow("tcp, prompt") << "tcp" << Kind::Serial << false;
}

void TestReplyReader::splitReplyIsNotTruncated()
{
    QFETCH(QString, transport);
    QFETCH(Kind, kind);
    QFETCH(bool, blocking);

    // A long hexadecimal EDID answer in small pieces with pauses between them.
    const QString hex = hexText(512);
    SimDevice sim;
    sim.addRule(SimRule::exact("#GET_EDID 1").reply(hex.toLatin1() + "\r\n>").chunked(16, 20));
    auto link = connectTo(sim, transport);
    QVERIFY(link);

    ReplyRules rules = rulesFor(kind);
    rules.quietMs = 5000; // generous against a loaded machine; the pieces come every 20 ms
    ReplyReader reader(link.get(), rules);
    QByteArray tapped;
    reader.setTap([&](const QByteArray& bytes) { tapped += bytes; });
    ReplyWait wait;
    wait.waitMs = 60000;
    wait.blocking = blocking;
    const ReplyResult result = reader.exchange("#GET_EDID 1\r", wait);
    QCOMPARE(result.status, ReplyResult::Status::Complete);
    QCOMPARE(result.text, hex);
    QCOMPARE(tapped, hex.toLatin1() + "\r\n>");
    QCOMPARE(result.words, QStringList {hex});
    QCOMPARE(sim.requests(), QStringList {"#GET_EDID 1"});
}

// The next command follows at once, while the late answer is still on its way: StaleInput waits
// for it (up to its prompt, within the grace) and drops it; after a reply that came whole it does
// not wait, and a unit that stays silent costs the grace once.
void TestReplyReader::replyStillComingIsDropped()
{
    QFETCH(QString, transport);
    QFETCH(Kind, kind);
    QFETCH(bool, blocking);

    SimDevice sim;
    sim.addRule(SimRule::exact("#GET_INPUT").reply("INPUT IS HDMI\r\n>").after(2000));
    sim.addRule(SimRule::exact("#GET_OUTPUT").reply("OUTPUT IS 1080P\r\n>"));
    sim.addRule(SimRule::exact("#GET_MUTE").silence());
    auto link = connectTo(sim, transport);
    QVERIFY(link);

    ReplyRules rules = rulesFor(kind);
    rules.quietMs = 1000;
    ReplyReader reader(link.get(), rules);
    ReplyWait wait;
    wait.waitMs = 300;
    wait.blocking = blocking;
    StaleInput stale(8000, ">");
    ReplyResult result = reader.exchange("#GET_INPUT\r", wait);
    QCOMPARE(result.text, QString());
    stale.settle(result.isComplete());
    QVERIFY(stale.overdue());

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(stale.drop(link.get(), blocking), qint64(strlen("INPUT IS HDMI\r\n>")));
    QVERIFY2(clock.elapsed() < TimeScale::ms(8000), qPrintable(QString::number(clock.elapsed())));
    wait.waitMs = 60000;
    result = reader.exchange("#GET_OUTPUT\r", wait);
    QCOMPARE(result.text, QStringLiteral("OUTPUT IS 1080P"));
    stale.settle(result.isComplete());
    QVERIFY(!stale.overdue());
    clock.restart();
    QCOMPARE(stale.drop(link.get(), blocking), qint64(0));
    QVERIFY(clock.elapsed() < TimeScale::ms(1000));

    // Silence: the grace runs out once, and the next drop does not wait again.
    StaleInput short_(800, ">");
    wait.waitMs = 300;
    result = reader.exchange("#GET_MUTE\r", wait);
    short_.settle(result.isComplete());
    clock.restart();
    short_.drop(link.get(), blocking);
    QVERIFY(clock.elapsed() >= TimeScale::ms(500));
    clock.restart();
    short_.drop(link.get(), blocking);
    QVERIFY(clock.elapsed() < TimeScale::ms(500));
}

void TestReplyReader::lateReplyIsNotTakenForTheNext()
{
    QFETCH(QString, transport);
    QFETCH(Kind, kind);
    QFETCH(bool, blocking);

    SimDevice sim;
    sim.addRule(SimRule::exact("#GET_INPUT").reply("INPUT IS HDMI\r\n>").after(1000));
    sim.addRule(SimRule::exact("#GET_OUTPUT").reply("OUTPUT IS 1080P\r\n>"));
    auto link = connectTo(sim, transport);
    QVERIFY(link);

    ReplyRules rules = rulesFor(kind);
    rules.quietMs = 5000;
    ReplyReader reader(link.get(), rules);
    ReplyWait wait;
    wait.waitMs = 300;
    wait.blocking = blocking;
    const ReplyResult first = reader.exchange("#GET_INPUT\r", wait);
    QCOMPARE(first.status, ReplyResult::Status::TimedOut);
    QCOMPARE(first.text, QString());

    // The late answer reaches the system while the program does nothing with the link.
    QThread::msleep(quint64(TimeScale::ms(1000)) + 300);

    wait.waitMs = 60000;
    const ReplyResult second = reader.exchange("#GET_OUTPUT\r", wait);
    QCOMPARE(second.status, ReplyResult::Status::Complete);
    QCOMPARE(second.text, QStringLiteral("OUTPUT IS 1080P"));
}

void TestReplyReader::silenceTimesOut_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("blocking");
    QTest::addColumn<int>("waitMs");
    QTest::addColumn<int>("extendStepMs");
    QTest::addColumn<int>("expectedMs"); // device ms the exchange must have waited

    QTest::newRow("serial") << "pty" << Kind::Serial << false << 500 << 0 << 500;
    // Nothing at all: a 300 ms wait grows by 200 ms while it stays within 1000 ms.
    QTest::newRow("family, stretched") << "pty" << Kind::Family << false << 300 << 200 << 900;
    QTest::newRow("tcp, quiet") << "tcp" << Kind::Tcp << true << 60000 << 0 << 1300;
    QTest::newRow("tcp, prompt") << "tcp" << Kind::Serial << false << 500 << 0 << 500;
}

void TestReplyReader::silenceTimesOut()
{
    QFETCH(QString, transport);
    QFETCH(Kind, kind);
    QFETCH(bool, blocking);
    QFETCH(int, waitMs);
    QFETCH(int, extendStepMs);
    QFETCH(int, expectedMs);

    SimDevice sim;
    sim.addRule(SimRule::exact("#PING").silence());
    auto link = connectTo(sim, transport);
    QVERIFY(link);

    ReplyReader reader(link.get(), rulesFor(kind));
    ReplyWait wait;
    wait.waitMs = waitMs;
    wait.extendStepMs = extendStepMs;
    wait.extendLimitMs = extendStepMs > 0 ? 1000 : 0;
    wait.blocking = blocking;
    QElapsedTimer clock;
    clock.start();
    const ReplyResult result = reader.exchange("#PING\r", wait);
    const qint64 took = clock.elapsed();
    QCOMPARE(result.status, ReplyResult::Status::TimedOut);
    QCOMPARE(result.words, QStringList {""});
    QVERIFY2(took >= TimeScale::ms(expectedMs), qPrintable(QString::number(took)));
    QVERIFY2(took < TimeScale::ms(expectedMs) + 1000, qPrintable(QString::number(took)));
    QVERIFY(sim.waitForRequest("#PING"));
}

void TestReplyReader::unitVanishingMidReply()
{
    QFETCH(QString, transport);
    QFETCH(Kind, kind);
    QFETCH(bool, blocking);

    SimDevice sim;
    sim.addRule(SimRule::exact("#GET_STATUS").reply("LINK UP\r\nSIGNAL OK\r\n>").partial(9).thenClose());
    auto link = connectTo(sim, transport);
    QVERIFY(link);

    ReplyRules rules = rulesFor(kind);
    rules.quietMs = 60000; // only the closing may end this reply
    ReplyReader reader(link.get(), rules);
    ReplyWait wait;
    wait.waitMs = 60000;
    wait.blocking = blocking;
    QElapsedTimer clock;
    clock.start();
    const ReplyResult result = reader.exchange("#GET_STATUS\r", wait);
    QCOMPARE(result.status, ReplyResult::Status::LinkClosed);
    QCOMPARE(result.raw, QStringLiteral("LINK UP\r\n"));
    QVERIFY2(clock.elapsed() < kTimeout, "the closed link was not noticed");

    // Nothing more goes over a link that is gone.
    clock.restart();
    QCOMPARE(reader.exchange("#GET_STATUS\r", wait).status, ReplyResult::Status::LinkClosed);
    QVERIFY(clock.elapsed() < 1000);
}

void TestReplyReader::probeFindsTheUnitsRate()
{
    // The unit's first chunk must reach the probe within its answer wait, across the simulator's
    // thread and a pty; on a loaded machine that takes the probe's real waits.
    const double factor = TimeScale::factor();
    TimeScale::setFactor(1.0);
    const auto restore = qScopeGuard([factor] { TimeScale::setFactor(factor); });
    SimDevice sim;
    sim.setTerminator("\r\n");
    sim.setRequiredBaudRate(57600);
    sim.addRule(SimRule::exact("#HELP").reply("#HELP\r\nCOMMANDS:\r\n#GET_EDID\r\n>").chunked(8, 100));
    QVERIFY(sim.startPty());

    QSerialPort port;
    QCOMPARE(probeBaudRate(port, sim.portName()), 57600);
    QVERIFY(port.isOpen());
    QCOMPARE(port.baudRate(), 57600);
    QCOMPARE(sim.serialSettings().toString(), QStringLiteral("57600 8N1"));
    // Asked at 115200 (no answer), then at 57600; the help text does not linger in the port.
    QCOMPARE(sim.received(), QByteArray("#HELP\r\n#HELP\r\n"));
    QCOMPARE(sim.requests(), QStringList {"#HELP"});
    QCOMPARE(port.bytesAvailable(), 0);
    QVERIFY(!port.waitForReadyRead(TimeScale::ms(500)));
}

void TestReplyReader::probeWithoutAnswerTriesEveryRate()
{
    SimDevice sim;
    sim.setTerminator("\r\n");
    // The unit answers in lower case only: that is no answer.
    sim.addRule(SimRule::exact("#HELP").reply("#help\r\n>"));
    QVERIFY(sim.startPty());

    QSerialPort port;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(probeBaudRate(port, sim.portName()), 0);
    QVERIFY(clock.elapsed() >= 7 * TimeScale::ms(500));
    QCOMPARE(sim.received(), QByteArray("#HELP\r\n").repeated(7));
    QCOMPARE(sim.requestCount("#HELP"), 7);
    QCOMPARE(sim.serialSettings().baudRate, 2400); // the last rate tried
}

PLEXA_TEST_MAIN(TestReplyReader)
#include "tst_replyreader.moc"
