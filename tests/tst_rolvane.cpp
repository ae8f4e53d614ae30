// The wireless extenders' raw-USB burner against a simulated unit on a fake bus, with HEX files
// made by objcopy; and the real libusb of this machine, which has no such unit.
#include "plexatest.h"
#include "fakeusbbus.h"
#include "hexrecord.h"
#include "rolvanesim.h"
#include "scripteddialogs.h"
#include "ui_mainui.h"

#include "burnmanagerx.h"
#include "rolvanecontrol.h"
#include "timescale.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTimer>
#include <QtEndian>

#include <cstdio>
#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kSuccess = QStringLiteral("Update Successful. Please reboot unit.");
const QString kMacSuccess = QStringLiteral("Update MAC Successful.");
const QString kNoDevice = QStringLiteral("Problem connecting to device.");
const QString kFileError = QStringLiteral("Error with firmware file.");
const QString kMacFailed = QStringLiteral("Update MAC failed. Please reboot unit and try again.");
const QString kNotReady = QStringLiteral("The unit did not get ready for the update. Please reboot unit and try again.");
const QString kUnitGone = QStringLiteral("The unit was disconnected during the update.");

QByteArray pattern(int size, int seed = 1)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 7 + seed * 31 + (i >> 8)) & 0xFF);
    return b;
}

quint8 xorOf(const QByteArray& bytes)
{
    quint8 x = 0;
    for (char c : bytes)
        x ^= quint8(c);
    return x;
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian<quint32>(v, b.data());
    return b;
}

// `bin` placed at `address`, as objcopy writes Intel HEX.
QByteArray objcopyHex(const QByteArray& bin, quint32 address)
{
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("image.bin"));
    const QString out = dir.filePath(QStringLiteral("image.hex"));
    PlexaTest::writeFile(in, bin);
    const int rc = QProcess::execute(QStringLiteral("objcopy"),
                                     {QStringLiteral("-I"), QStringLiteral("binary"), QStringLiteral("-O"),
                                      QStringLiteral("ihex"), QStringLiteral("--change-addresses"),
                                      QStringLiteral("0x%1").arg(address, 0, 16), in, out});
    if (rc != 0)
        return QByteArray();
    return PlexaTest::readFile(out);
}

// Records end in LF here, as the burner's files do.
QByteArray hexLine(int type, quint16 address, const QByteArray& data)
{
    return hexRecord(type, address, data, "\n");
}

// Puts at `path` what a bad-file case asks for: nothing ("missing"), a FIFO, a sparse file one
// byte over `limit` ("huge"), or `bytes`.
bool placeFile(const QString& path, const QString& special, const QByteArray& bytes, qint64 limit)
{
    QFile::remove(path);
    if (special == QLatin1String("missing"))
        return true;
    if (special == QLatin1String("fifo"))
        return mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return special == QLatin1String("huge") ? f.resize(limit + 1) : f.write(bytes) == bytes.size();
}

const QByteArray kHexBase = hexLine(4, 0, QByteArray::fromHex("0800"));
const QByteArray kHexEnd = hexLine(1, 0, QByteArray());

// One section of a "MAC" file. For the 0xFF section the payload is both parts.
QByteArray macSection(quint8 type, const QByteArray& part1, const QByteArray& part2 = QByteArray(),
                      qint64 claimed1 = -1)
{
    QByteArray h = QByteArray::fromHex("f35f120135");
    h.append(char(type));
    for (int i = 6; i < 25; ++i)
        h.append(char(0x40 + i + type));
    h.append(le32(claimed1 < 0 ? quint32(part1.size()) : quint32(claimed1)));
    h.append(type == 0xFF ? le32(quint32(part2.size())) : QByteArray::fromHex("5a5a5a5a"));
    return h + part1 + part2;
}

struct MacFile {
    QByteArray common1 = pattern(20, 2);
    QByteArray common2 = pattern(300, 3);
    QByteArray receiver = pattern(1300, 4);
    QByteArray sender = pattern(1024, 5);
    QByteArray bytes() const
    {
        return macSection(0x50, pattern(7, 9)) + macSection(0xFF, common1, common2) + macSection(0x96, receiver)
            + macSection(0x97, sender);
    }
    qint64 receiverOffset() const { return 33 + 7 + 33 + common1.size() + common2.size(); }
    qint64 senderOffset() const { return receiverOffset() + 33 + receiver.size(); }
};

// Records, with every box, how many raw-USB handles were open when it showed.
class ProbeDialogs : public ScriptedDialogs
{
public:
    std::function<int()> openHandles;
    QList<int> handlesAtMessage;

    QMessageBox::StandardButton message(Kind kind, QWidget* parent, const QString& title, const QString& text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override
    {
        handlesAtMessage << (openHandles ? openHandles() : -1);
        return ScriptedDialogs::message(kind, parent, title, text, buttons, defaultButton);
    }
};

// What `call` writes to standard output, without the test log's lines.
template<typename Call>
QByteArray capturedStdout(Call call)
{
    QTemporaryFile file;
    if (!file.open())
        return "no temporary file";
    fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    dup2(file.handle(), STDOUT_FILENO);
    call();
    fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    file.seek(0);
    // The test log shares the stream; only the program's own lines count.
    QByteArray out;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.isEmpty() && !line.startsWith("QDEBUG"))
            out += line + '\n';
    }
    return out;
}

} // namespace

class TestRolvane : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void appBurnSendsEveryBlockByteExact();
    void appBlocksGoInAddressOrder();
    void theLastUnitOfTheWalkIsBurned();
    void appUnitFaultsEndTheBurn_data();
    void appUnitFaultsEndTheBurn();
    void appBadFilesAreRefusedBeforeAnythingIsSent_data();
    void appBadFilesAreRefusedBeforeAnythingIsSent();
    void macBurnSendsTheUnitsSection_data();
    void macBurnSendsTheUnitsSection();
    void macUnitFaults_data();
    void macUnitFaults();
    void macBadFilesAreRefusedBeforeAnythingIsSent_data();
    void macBadFilesAreRefusedBeforeAnythingIsSent();
    void burnHoldsThePageAndRefusesASecondStart();
    void emptyPathDoesNothing();
    void browseAndThePagesOwnButton();
    void realLibusbFindsNoUnit();
    void packetHelpers();
    void hexReportOnStandardOutput_data();
    void hexReportOnStandardOutput();

private:
    // Runs a burn of `file` (written into a file) and returns the setUSBDiscover values emitted.
    QList<bool> burn(const QByteArray& file, const QString& kind, const QString& unit = QStringLiteral("Torvala"));
    QList<bool> burnPath(const QString& path, const QString& kind, const QString& unit = QStringLiteral("Torvala"));
    QStringList messages() const;

    QMainWindow m_window;
    Ui_MainUI m_ui;
    QTemporaryDir m_dir;
    std::unique_ptr<FakeUsbBus> m_bus;
    std::unique_ptr<FakeUsbBus::Scope> m_busScope;
    std::unique_ptr<RolvaneSim> m_sim;
    QByteArray m_simName;
    std::unique_ptr<rolvaneControl> m_control;
    ProbeDialogs m_dialogs;
    std::unique_ptr<ScriptedDialogs::Scope> m_scope;
};

void TestRolvane::initTestCase()
{
    m_ui.setupUi(&m_window);
    m_ui.updateOptionOne->addItems({QStringLiteral("APP"), QStringLiteral("MAC")});
    m_ui.updateOptionTwo->addItems({QStringLiteral("Select a unit"), QStringLiteral("Torvala"), QStringLiteral("Sundrel"),
                                    QStringLiteral("Torvala-EU"), QStringLiteral("Sundrel-EU"), QStringLiteral("Zornith"),
                                    QStringLiteral("Varrosk"), QStringLiteral("Zornith-EU"), QStringLiteral("Varrosk-EU")});
}

void TestRolvane::init()
{
    m_bus = std::make_unique<FakeUsbBus>();
    m_busScope = std::make_unique<FakeUsbBus::Scope>(*m_bus);
    m_sim = std::make_unique<RolvaneSim>();
    // Another device in front of the unit: the search must pass it over.
    m_bus->plug(0x046D, 0xC52B);
    m_simName = m_bus->plug(RolvaneSim::VendorId, RolvaneSim::ProductId, "001", m_sim.get());
    m_control = std::make_unique<rolvaneControl>(&m_ui);
    m_dialogs.clear();
    m_dialogs.handlesAtMessage.clear();
    m_dialogs.openHandles = [this] { return m_bus ? m_bus->openHandles() : -1; };
    m_scope = std::make_unique<ScriptedDialogs::Scope>(m_dialogs);
    m_ui.updateBar->setRange(0, 100);
    m_ui.updateBar->setValue(0);
    m_ui.ConfiguratorTabs->setEnabled(true);
}

void TestRolvane::cleanup()
{
    m_scope.reset();
    m_control.reset();
    QCOMPARE(m_bus->openHandles(), 0); // every ending closes the unit
    m_busScope.reset();
    m_sim.reset();
    m_bus.reset();
}

QList<bool> TestRolvane::burnPath(const QString& path, const QString& kind, const QString& unit)
{
    m_ui.updateFilename->setText(path);
    m_ui.updateOptionOne->setCurrentText(kind);
    m_ui.updateOptionTwo->setCurrentText(unit);
    QSignalSpy spy(m_control.get(), &rolvaneControl::setUSBDiscover);
    m_control->initiateFirmwareUpdate();
    QList<bool> values;
    for (const auto& args : spy)
        values << args.at(0).toBool();
    // Whatever the ending, the page is usable again and the status line is clear.
    if (!values.isEmpty()) {
        [&] {
            QVERIFY(m_ui.ConfiguratorTabs->isEnabled());
            QVERIFY(m_ui.statusBar->currentMessage().isEmpty());
        }();
    }
    return values;
}

QList<bool> TestRolvane::burn(const QByteArray& file, const QString& kind, const QString& unit)
{
    const QString path = m_dir.filePath(kind == QLatin1String("APP") ? QStringLiteral("fw.hex") : QStringLiteral("fw.bin"));
    PlexaTest::writeFile(path, file);
    return burnPath(path, kind, unit);
}

QStringList TestRolvane::messages() const
{
    QStringList texts;
    for (const ScriptedDialogs::Shown& s : m_dialogs.shown()) {
        if (s.title != QLatin1String("Status") || s.kind != DialogBackend::Kind::Information)
            return {QStringLiteral("a box titled ") + s.title + QStringLiteral(" of kind ") + QString::number(int(s.kind))};
        texts << s.text;
    }
    return texts;
}

void TestRolvane::appBurnSendsEveryBlockByteExact()
{
    const QByteArray image = pattern(100);
    const QByteArray hex = objcopyHex(image, 0x08005800);
    QVERIFY(hex.startsWith(":020000040800F2"));
    QCOMPARE(burn(hex, QStringLiteral("APP")), (QList<bool>{false, true}));
    QCOMPARE(messages(), QStringList{kSuccess});

    // 0x94, 0x8C, seven blocks (6 × 16 bytes and 4), 0x8F, 0x90, each framed and closed by its XOR.
    const QList<QByteArray> packets = m_sim->bulkPackets();
    QCOMPARE(packets.size(), 11);
    QCOMPARE(m_sim->badPackets(), 0);
    QCOMPARE(packets.first().toHex(), QByteArray("aabb940085"));
    QCOMPARE(packets.at(1).toHex(), QByteArray("aabb8c009d"));
    QByteArray first = QByteArray::fromHex("aabb8e18" "04000000" "00580008") + image.left(16);
    first.append(char(xorOf(first)));
    QCOMPARE(packets.at(2), first);
    QByteArray last = QByteArray::fromHex("aabb8e0c" "01000000" "60580008") + image.mid(96);
    last.append(char(xorOf(last)));
    QCOMPARE(packets.at(8), last);
    QCOMPARE(packets.at(9).toHex(), QByteArray("aabb8f009e"));
    QCOMPARE(packets.at(10).toHex(), QByteArray("aabb900081"));

    QCOMPARE(m_sim->flash(0x08005800, 101), image + QByteArray(1, char(0xFF)));
    QCOMPARE(m_ui.updateBar->value(), 100);
    QCOMPARE(m_sim->claims(), 1);
    QCOMPARE(m_sim->releases(), 1);
    QCOMPARE(m_bus->opens(), 1);
    // The unit is let go once the user has read the outcome.
    QCOMPARE(m_dialogs.handlesAtMessage, QList<int>{1});
    // Every transfer waits the unit's 5 s, scaled for the test.
    for (int t : m_bus->timeouts())
        QCOMPARE(t, TimeScale::ms(5000));
    // The image the burner read: the report's numbers.
    QCOMPARE(m_control->burner().hexMinAddress(), 0x08005800u);
    QCOMPARE(m_control->burner().hexMaxAddress(), 0x08005863u);
}

void TestRolvane::appBlocksGoInAddressOrder()
{
    // Records out of order across two 64 KiB banks, an odd-sized one (two words for five bytes)
    // and a start address the reader passes over; a busy unit that needs a few reads before it
    // is ready.
    const QByteArray hex = hexLine(4, 0, QByteArray::fromHex("0801")) + hexLine(0, 0x0010, pattern(8, 3))
        + kHexBase + hexLine(0, 0x6000, pattern(5, 1)) + hexLine(0, 0x5800, pattern(32, 2))
        + hexLine(5, 0, QByteArray::fromHex("08005800")) + kHexEnd;
    m_sim->setBusyReads(3);
    QCOMPARE(burn(hex, QStringLiteral("APP")), (QList<bool>{false, true}));
    QCOMPARE(messages(), QStringList{kSuccess});
    const QList<RolvaneSim::Block> blocks = m_sim->blocks();
    QCOMPARE(blocks.size(), 3);
    QCOMPARE(blocks.at(0).address, 0x08005800u);
    QCOMPARE(blocks.at(0).data, pattern(32, 2));
    QCOMPARE(blocks.at(1).address, 0x08006000u);
    QCOMPARE(blocks.at(1).words, 2);
    QCOMPARE(blocks.at(1).data, pattern(5, 1));
    QCOMPARE(blocks.at(2).address, 0x08010010u);
    QCOMPARE(blocks.at(2).data, pattern(8, 3));
}

void TestRolvane::theLastUnitOfTheWalkIsBurned()
{
    RolvaneSim later;
    const QByteArray name = m_bus->plug(RolvaneSim::VendorId, RolvaneSim::ProductId, "002", &later);
    QCOMPARE(burn(objcopyHex(pattern(20), 0x08005800), QStringLiteral("APP")), (QList<bool>{false, true}));
    QCOMPARE(messages(), QStringList{kSuccess});
    QVERIFY(m_sim->bulkPackets().isEmpty());
    QCOMPARE(later.flash(0x08005800, 20), pattern(20));
    QCOMPARE(m_bus->opens(), 1);
    m_bus->unplug("002", name);
}

void TestRolvane::appUnitFaultsEndTheBurn_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("blocks"); // blocks the unit took
    const QString input = QStringLiteral("Please put the device into Programming mode and click install.\n\n"
                                         "To do that connect the device while holding the input button.\n\n");
    const QString info = QStringLiteral("Please put the device into Programming mode and click install.\n\n"
                                        "To do that connect the device while holding the info button.\n\n");
    QTest::newRow("not in programming mode") << "normal" << "Sundrel" << input << 0;
    QTest::newRow("not in programming mode, info button") << "normal" << "Zornith-EU" << info << 0;
    QTest::newRow("truncated replies") << "short" << "Torvala" << input << 0;
    QTest::newRow("silent after entering") << "silent" << "Torvala" << kNotReady << 0;
    QTest::newRow("never ready") << "busy" << "Torvala" << kNotReady << 0;
    QTest::newRow("second block refused") << "refuse" << "Torvala"
                                          << "Update failed at address 0x08005810. Please reboot unit and try again."
                                          << 2;
    QTest::newRow("unit unplugged at block 3") << "vanish" << "Torvala" << kUnitGone << 3;
    QTest::newRow("no unit") << "absent" << "Torvala" << kNoDevice << 0;
    QTest::newRow("unit held elsewhere") << "refused" << "Torvala" << kNoDevice << 0;
}

void TestRolvane::appUnitFaultsEndTheBurn()
{
    QFETCH(QString, fault);
    QFETCH(QString, unit);
    QFETCH(QString, message);
    QFETCH(int, blocks);
    if (fault == QLatin1String("normal"))
        m_sim->setProgrammingMode(false);
    else if (fault == QLatin1String("short"))
        m_sim->setReplyLength(7);
    else if (fault == QLatin1String("silent"))
        m_sim->setSilentFromPacket(2);
    else if (fault == QLatin1String("busy"))
        m_sim->setBusyReads(CBurnManagerX::kReadyReads + 5);
    else if (fault == QLatin1String("refuse"))
        m_sim->setRefusedBlock(2);
    else if (fault == QLatin1String("vanish"))
        m_sim->setPieceHook([this](int k) {
            if (k == 3)
                m_bus->unplug("001", m_simName);
        });
    else if (fault == QLatin1String("absent"))
        m_bus->unplug("001", m_simName);
    else if (fault == QLatin1String("refused"))
        m_bus->setOpenRefused(true);

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(burn(objcopyHex(pattern(100), 0x08005800), QStringLiteral("APP"), unit), (QList<bool>{false, true}));
    QCOMPARE(messages(), QStringList{message});
    QCOMPARE(m_sim->blocks().size(), blocks);
    // A failed burn never closes: the unit would run a half-written image.
    QVERIFY(!m_sim->commands().contains(0x8F));
    QVERIFY(!m_sim->commands().contains(0x90));
    if (fault != QLatin1String("vanish"))
        QCOMPARE(m_sim->releases(), m_sim->claims());
    const bool opened = fault != QLatin1String("absent") && fault != QLatin1String("refused");
    QCOMPARE(m_dialogs.handlesAtMessage, QList<int>{opened ? 1 : 0});
    // Every retry is bounded: the silent unit costs a few time-outs of 100 ms each.
    QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
    if (fault == QLatin1String("silent"))
        QCOMPARE(m_sim->commands().count(0x8C), CBurnManagerX::kCommandTries);
}

void TestRolvane::appBadFilesAreRefusedBeforeAnythingIsSent_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("special");
    const QByteArray good = objcopyHex(pattern(64), 0x08005800);
    QTest::newRow("missing") << QByteArray() << "missing";
    QTest::newRow("fifo") << QByteArray() << "fifo";
    QTest::newRow("huge") << QByteArray() << "huge";
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("garbage") << QByteArray("\x7f" "ELF\x02\x01\x01 not a hex file at all\n") << "";
    QTest::newRow("cut mid-record") << good.left(good.indexOf('\n', 40) - 7) << "";
    QTest::newRow("no end record") << good.left(good.lastIndexOf(":00000001")) << "";
    QTest::newRow("bad checksum") << QByteArray(good).replace(":020000040800F2", ":020000040800F3") << "";
    QTest::newRow("below the window") << objcopyHex(pattern(16), 0x080057F8) << "";
    QTest::newRow("at the window's end") << objcopyHex(pattern(16), 0x080FF800) << "";
    QTest::newRow("start segment record") << kHexBase + hexLine(0, 0x5800, pattern(4)) + hexLine(3, 0, QByteArray(4, '\0')) + kHexEnd << "";
    QTest::newRow("record too long for a block") << kHexBase + hexLine(0, 0x5800, pattern(248)) + kHexEnd << "";
    QTest::newRow("no data") << kHexBase + kHexEnd << "";
    QTest::newRow("last line without its line break") << good.left(good.size() - 1) << "";
    QTest::newRow("blank line after the end record") << good + "\n" << "";
    QTest::newRow("blank line among the records") << kHexBase + "\n" + hexLine(0, 0x5800, pattern(4)) + kHexEnd << "";
}

void TestRolvane::appBadFilesAreRefusedBeforeAnythingIsSent()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, special);
    const QString path = m_dir.filePath(QStringLiteral("bad.hex"));
    QVERIFY(placeFile(path, special, file, CBurnManagerX::kMaxHexFileBytes));
    QCOMPARE(burnPath(path, QStringLiteral("APP")), (QList<bool>{false, true}));
    QCOMPARE(messages(), QStringList{kFileError});
    QCOMPARE(m_dialogs.handlesAtMessage, QList<int>{1});
    QVERIFY(m_sim->bulkPackets().isEmpty());
    QCOMPARE(m_sim->claims(), 0);
    QFile::remove(path);
}

void TestRolvane::macBurnSendsTheUnitsSection_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<bool>("receiver");
    QTest::addColumn<QString>("message");
    QTest::newRow("Torvala sender") << "Torvala" << false << kMacSuccess;
    QTest::newRow("Sundrel receiver") << "Sundrel" << true << kMacSuccess;
    QTest::newRow("Varrosk-EU receiver") << "Varrosk-EU" << true << kMacSuccess;
    QTest::newRow("placeholder burns the sender") << "Select a unit" << false << kMacSuccess;
    QTest::newRow("Zornith asks for a replug") << "Zornith" << false
                                               << "Update MAC Successful. Please disconnect and connect the unit.";
    QTest::newRow("empty section of the other role") << "Torvala-EU" << false << kMacSuccess;
}

void TestRolvane::macBurnSendsTheUnitsSection()
{
    QFETCH(QString, unit);
    QFETCH(bool, receiver);
    QFETCH(QString, message);
    MacFile mac;
    // The receiver's section is never sent to a sender, whatever it holds.
    if (QTest::currentDataTag() == QLatin1String("empty section of the other role"))
        mac.receiver.clear();
    const QByteArray file = mac.bytes();
    QList<int> bar;
    connect(m_ui.updateBar, &QProgressBar::valueChanged, this, [&bar](int v) { bar << v; });
    QCOMPARE(burn(file, QStringLiteral("MAC"), unit), (QList<bool>{false, true}));
    disconnect(m_ui.updateBar, nullptr, this, nullptr);
    QCOMPARE(messages(), QStringList{message});

    const qint64 offset = receiver ? mac.receiverOffset() : mac.senderOffset();
    QByteArray start = QByteArray::fromHex("aabb7b1f0200") + file.mid(int(offset) + 6, 29);
    start.append(char(xorOf(start)));
    QCOMPARE(m_sim->startPacket(), start);
    QCOMPARE(m_sim->announcedLength(), quint32(receiver ? mac.receiver.size() : mac.sender.size()));
    const QByteArray header = file.mid(33 + 7, 33);
    QCOMPARE(m_sim->commonHeader(), header);
    // The transfer buffer keeps what earlier steps left beyond the bytes copied.
    QCOMPARE(m_sim->partOne(), mac.common1 + header.mid(20, 13) + QByteArray(479, '\0'));
    QCOMPARE(m_sim->partTwo(), mac.common2 + QByteArray(212, '\0'));
    QCOMPARE(m_sim->macFirmware(), receiver ? mac.receiver : mac.sender);
    QCOMPARE(m_sim->pieceSizes(), receiver ? (QList<int>{512, 512, 276}) : (QList<int>{512, 512}));
    QCOMPARE(m_sim->claims(), 0);
    QCOMPARE(bar.last(), 100);
    if (!receiver)
        QCOMPARE(bar, (QList<int>{50, 100}));
}

void TestRolvane::macUnitFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("expected");
    const QString reboot = QStringLiteral("Please reboot unit and try again.");
    const QString noAck = QStringLiteral("not nBytes==1 && buffer[0]==REQUIRED_DATA_BYTE");
    QTest::newRow("two short starts, then fine") << "shortstart" << QStringList{reboot, reboot, kMacSuccess};
    QTest::newRow("start not acknowledged once") << "nak" << QStringList{noAck, kMacSuccess};
    QTest::newRow("short common header once") << "shortheader" << QStringList{QStringLiteral("nBytes!=33"), kMacSuccess};
    QTest::newRow("busy before ready") << "busy" << QStringList{kMacSuccess};
    QStringList rebootEvery;
    for (int i = 0; i < CBurnManagerX::kMacStepTries; ++i)
        rebootEvery << reboot;
    QTest::newRow("start never taken") << "shortforever" << (rebootEvery << kMacFailed);
    QTest::newRow("silent after the start") << "silent" << QStringList{kMacFailed};
    QTest::newRow("silent before the firmware") << "silentdata" << QStringList{kMacFailed};
    QTest::newRow("a firmware piece taken short") << "shortpiece" << QStringList{kMacFailed};
    QTest::newRow("unplugged mid-firmware") << "vanish" << QStringList{kUnitGone};
}

void TestRolvane::macUnitFaults()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, expected);
    if (fault == QLatin1String("shortstart"))
        m_sim->setShortStarts(2);
    else if (fault == QLatin1String("shortforever"))
        m_sim->setShortStarts(1000);
    else if (fault == QLatin1String("nak"))
        m_sim->setStartNaks(1);
    else if (fault == QLatin1String("shortheader"))
        m_sim->setShortHeaders(1);
    else if (fault == QLatin1String("busy"))
        m_sim->setBusyAcks(4);
    else if (fault == QLatin1String("silent"))
        m_sim->setMacSilentFrom(RolvaneSim::MacStage::PartOne);
    else if (fault == QLatin1String("silentdata"))
        m_sim->setMacSilentFrom(RolvaneSim::MacStage::Firmware);
    else if (fault == QLatin1String("shortpiece"))
        m_sim->setShortPiece(2);
    else if (fault == QLatin1String("vanish"))
        m_sim->setPieceHook([this](int) { m_bus->unplug("001", m_simName); });

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(burn(MacFile().bytes(), QStringLiteral("MAC"), QStringLiteral("Sundrel")), (QList<bool>{false, true}));
    QCOMPARE(messages(), expected);
    QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
    const bool ok = expected.last() == kMacSuccess;
    QCOMPARE(m_sim->macFirmware() == MacFile().receiver, ok);
    if (fault == QLatin1String("shortpiece"))
        QCOMPARE(m_sim->pieceSizes().size(), 2); // nothing sent after the short piece
    if (!ok)
        QVERIFY(m_ui.updateBar->value() < 100);
}

void TestRolvane::macBadFilesAreRefusedBeforeAnythingIsSent_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("special");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("message");
    const MacFile mac;
    const QByteArray good = mac.bytes();
    const QByteArray common = macSection(0xFF, mac.common1, mac.common2);
    QTest::newRow("missing") << QByteArray() << "missing" << "Torvala" << "Open File Fail.";
    QTest::newRow("fifo") << QByteArray() << "fifo" << "Torvala" << "Open File Fail.";
    QTest::newRow("huge") << QByteArray() << "huge" << "Torvala" << "Malloc Error.";
    QTest::newRow("empty") << QByteArray() << "" << "Torvala" << kFileError;
    QTest::newRow("cut in the last payload") << good.left(good.size() - 1) << "" << "Torvala" << kFileError;
    QTest::newRow("cut in a header") << good.left(int(mac.senderOffset()) + 20) << "" << "Sundrel" << kFileError;
    QTest::newRow("length past the file") << common + macSection(0x97, mac.sender, {}, 0xFFFFFFFFLL) << ""
                                          << "Torvala" << kFileError;
    QTest::newRow("garbage after a section") << good + QByteArray(40, 'x') << "" << "Torvala" << kFileError;
    QTest::newRow("no section for a receiver") << common + macSection(0x97, mac.sender) << "" << "Sundrel" << kFileError;
    QTest::newRow("no common section") << macSection(0x97, mac.sender) << "" << "Torvala" << kFileError;
    QTest::newRow("common part over 512") << macSection(0xFF, pattern(513), mac.common2) + macSection(0x97, mac.sender)
                                          << "" << "Torvala" << kFileError;
    QTest::newRow("empty firmware") << common + macSection(0x97, QByteArray()) << "" << "Torvala" << kFileError;
}

void TestRolvane::macBadFilesAreRefusedBeforeAnythingIsSent()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, special);
    QFETCH(QString, unit);
    QFETCH(QString, message);
    const QString path = m_dir.filePath(QStringLiteral("bad.bin"));
    QVERIFY(placeFile(path, special, file, CBurnManagerX::kMaxMacFileBytes));
    QCOMPARE(burnPath(path, QStringLiteral("MAC"), unit), (QList<bool>{false, true}));
    QCOMPARE(messages(), QStringList{message});
    QVERIFY(m_sim->controlWrites().isEmpty());
    QFile::remove(path);
}

void TestRolvane::burnHoldsThePageAndRefusesASecondStart()
{
    bool pageEnabled = true;
    QString status;
    // Events run between the steps: a timer due now fires before the first block.
    bool timerFired = false;
    bool firedBeforeBlock = false;
    QTimer::singleShot(0, this, [&timerFired] { timerFired = true; });
    m_sim->setPieceHook([&](int k) {
        if (k != 1)
            return;
        firedBeforeBlock = timerFired;
        pageEnabled = m_ui.ConfiguratorTabs->isEnabled();
        status = m_ui.statusBar->currentMessage();
        // The router or a button while events run: the burn in progress keeps the unit.
        m_control->initiateFirmwareUpdate();
    });
    QCOMPARE(burn(objcopyHex(pattern(40), 0x08005800), QStringLiteral("APP")), (QList<bool>{false, true}));
    QVERIFY(!pageEnabled);
    QVERIFY(firedBeforeBlock);
    QCOMPARE(status, QStringLiteral("Please wait.. updating."));
    QCOMPARE(m_ui.statusBar->palette().color(QPalette::WindowText), QColor(0, 220, 255));
    QCOMPARE(m_bus->opens(), 1);
    QCOMPARE(messages(), QStringList{kSuccess});
}

void TestRolvane::emptyPathDoesNothing()
{
    const int walks = m_bus->walks();
    QCOMPARE(burnPath(QString(), QStringLiteral("APP")), QList<bool>());
    QCOMPARE(burnPath(QString(), QStringLiteral("MAC")), QList<bool>());
    QCOMPARE(m_bus->walks(), walks);
    QVERIFY(m_dialogs.shown().isEmpty());
}

void TestRolvane::browseAndThePagesOwnButton()
{
    const QString hex = m_dir.filePath(QStringLiteral("page.hex"));
    PlexaTest::writeFile(hex, objcopyHex(pattern(48), 0x08005800));
    const QString fifo = m_dir.filePath(QStringLiteral("page.fifo"));
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    m_ui.rolvaneFirmwareFile->clear();
    m_ui.rolvaneFirmwareUpdate->setEnabled(false);

    m_dialogs.answerCancel();
    m_ui.rolvaneFirmwareBrowse->click();
    QVERIFY(m_ui.rolvaneFirmwareFile->text().isEmpty());
    m_dialogs.answerPath(fifo);
    m_ui.rolvaneFirmwareBrowse->click();
    QCOMPARE(m_dialogs.shown().last().kind, DialogBackend::Kind::Critical);
    QCOMPARE(m_dialogs.shown().last().title, QStringLiteral("I/O Error"));
    QCOMPARE(m_dialogs.shown().last().text, QStringLiteral("Cannot open file for reading."));
    QVERIFY(!m_ui.rolvaneFirmwareUpdate->isEnabled());
    m_dialogs.answerPath(hex);
    m_ui.rolvaneFirmwareBrowse->click();
    QCOMPARE(m_dialogs.shown().first().text, QStringLiteral("Select File"));
    QCOMPARE(m_ui.rolvaneFirmwareFile->text(), hex);
    QVERIFY(m_ui.rolvaneFirmwareUpdate->isEnabled());

    // The page's button burns the file picked on the page, not the update page's.
    m_dialogs.clear();
    m_ui.updateFilename->setText(m_dir.filePath(QStringLiteral("other.hex")));
    m_ui.updateOptionOne->setCurrentText(QStringLiteral("APP"));
    QSignalSpy spy(m_control.get(), &rolvaneControl::setUSBDiscover);
    m_ui.rolvaneFirmwareUpdate->click();
    QCOMPARE(spy.size(), 2);
    QCOMPARE(messages(), QStringList{kSuccess});
    QCOMPARE(m_sim->flash(0x08005800, 48), pattern(48));
}

void TestRolvane::realLibusbFindsNoUnit()
{
    // libusb-0.1 itself: this machine has no wireless unit (and no USB bus in a container).
    m_busScope.reset();
    QCOMPARE(UsbBackend::current(), UsbBackend::libusb());
    QCOMPARE(burn(objcopyHex(pattern(16), 0x08005800), QStringLiteral("APP")), (QList<bool>{false, true}));
    QCOMPARE(burn(MacFile().bytes(), QStringLiteral("MAC")), (QList<bool>{false, true}));
    QCOMPARE(messages(), (QStringList{kNoDevice, kNoDevice}));
    m_busScope = std::make_unique<FakeUsbBus::Scope>(*m_bus);
}

void TestRolvane::packetHelpers()
{
    const QByteArray bytes = QByteArray::fromHex("0102040880");
    const auto* b = reinterpret_cast<const quint8*>(bytes.constData());
    QCOMPARE(CBurnManagerX::xorChecksum(b, b + 5), quint8(0x8F));
    QCOMPARE(CBurnManagerX::xorChecksum(b, b), quint8(0));
    QCOMPARE(CBurnManagerX::xorChecksum(b + 3, b + 1), quint8(0)); // begin after end
    QCOMPARE(CBurnManagerX::commandPacket(0x8F).toHex(), QByteArray("aabb8f009e"));
    QCOMPARE(CBurnManagerX::commandPacket(0x01, QByteArray::fromHex("ff")).toHex(), QByteArray("aabb0101ffee"));
    // A start packet of a section too close to the end is padded, never read past the file.
    const QByteArray tail = QByteArray::fromHex("f35f120135ff0607");
    QCOMPARE(CBurnManagerX::macStartPacket(tail, 0).size(), 36);
    QVERIFY(CBurnManagerX::isReceiverUnit(QStringLiteral("Sundrel-EU")));
    QVERIFY(!CBurnManagerX::isReceiverUnit(QStringLiteral("sundrel")));
}

void TestRolvane::hexReportOnStandardOutput_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("report");
    QTest::newRow("good") << objcopyHex(pattern(100), 0x08005800)
                          << QByteArray("Open hex file     -> Start address: 0x8005800\n"
                                        "Open hex file     -> End   address: 0x8005863\n"
                                        "Open hex file     -> Length       : 0x00063( 99 bytes)\n");
    QTest::newRow("missing colon") << kHexBase + "0000000000\n" + kHexEnd
                                   << QByteArray("Open hex file     -> Error,missing colon (line #1)\n");
    QTest::newRow("blank line among the records") << kHexBase + "\n" + hexLine(0, 0x5800, pattern(4)) + kHexEnd
                                                  << QByteArray("Open hex file     -> Error,missing colon (line #1)\n");
    QTest::newRow("wrong record type") << kHexBase + hexLine(0, 0x5800, pattern(4)) + hexLine(6, 0, QByteArray()) + kHexEnd
                                       << QByteArray("Open hex file      -> Error,wrong record type (line #2)\n");
    QTest::newRow("missing EOF") << kHexBase + hexLine(0, 0x5800, pattern(4))
                                 << QByteArray("Open hex file      -> Error, missing EOF record\n");
    QTest::newRow("empty") << QByteArray() << QByteArray("Open hex file      -> Error, missing EOF record\n");
    QTest::newRow("bad checksum: silent") << kHexBase.left(14) + "3\n" + kHexEnd << QByteArray();
}

void TestRolvane::hexReportOnStandardOutput()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, report);
    const QString path = m_dir.filePath(QStringLiteral("report.hex"));
    PlexaTest::writeFile(path, file);
    CBurnManagerX burner;
    bool ok = false;
    QCOMPARE(capturedStdout([&] { ok = burner.openHexFile(QFile::encodeName(path).constData()); }), report);
    QCOMPARE(ok, QTest::currentDataTag() == QLatin1String("good"));
}

PLEXA_TEST_MAIN(TestRolvane)
#include "tst_rolvane.moc"
