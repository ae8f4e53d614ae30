#include "plexatest.h"
#include "fakehidunit.h"
#include "scripteddialogs.h"
#include "ui_mainui.h"

#include "aes128.h"
#include "hid.h"
#include "korvinaupdater.h"

#include <QMainWindow>
#include <QProcess>
#include <QSignalSpy>
#include <QtEndian>

#include <sys/stat.h>

// The KVM extender's HID updater against fake HID units, with firmware files enciphered by
// openssl.
namespace {

const QByteArray kHeaderKeyHex = "7c2e91d04b3fa5867e19c0d2b84f6a13";
const QByteArray kBodyKeyHex = "a05d3e8c71f2b94d0e6a58c3f7194b2e";

// AES-128-ECB without padding by openssl; the input must be whole blocks.
QByteArray opensslEncrypt(const QByteArray& keyHex, const QByteArray& plain)
{
    QProcess p;
    p.start(QStringLiteral("openssl"), {QStringLiteral("enc"), QStringLiteral("-aes-128-ecb"), QStringLiteral("-nopad"),
                                        QStringLiteral("-K"), QString::fromLatin1(keyHex)});
    p.write(plain);
    p.closeWriteChannel();
    p.waitForFinished(10000);
    return p.readAllStandardOutput();
}

struct FileSpec {
    int type = 8;
    QByteArray body;
    int checksumDelta = 0;
    int headerSumDelta = 0;
    quint8 mark = 0x67;
    int totalDelta = 0;
};

QByteArray makeFirmware(const FileSpec& spec)
{
    QByteArray padded = spec.body;
    padded.append(QByteArray((16 - padded.size() % 16) % 16, '\0'));
    QByteArray h(16, '\0');
    h[0] = char(spec.mark);
    h[1] = char(spec.type);
    const quint32 sum = quint32(KorvinaUpdater::velmoCheckSum(reinterpret_cast<const quint8*>(padded.constData()),
                                                               spec.body.size())) + quint32(spec.checksumDelta);
    qToLittleEndian<quint32>(sum, h.data() + 7);
    qToLittleEndian<quint32>(quint32(16 + spec.body.size() + spec.totalDelta), h.data() + 11);
    quint8 headerSum = 0;
    for (int i = 0; i < 15; ++i)
        headerSum = quint8(headerSum + quint8(h[i]));
    h[15] = char(headerSum + spec.headerSumDelta);
    // The body is stored in whole blocks; the header's length tells where it ends.
    return opensslEncrypt(kHeaderKeyHex, h) + opensslEncrypt(kBodyKeyHex, padded);
}

QByteArray pattern(int size, int seed = 1)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 7 + seed * 13 + (i >> 8)) & 0xFF);
    return b;
}

} // namespace

class TestKorvina : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void aesKnownAnswerAndOpenssl();
    void checksumAndReportLengths();
    void type8UpdateSendsDecipheredBodyAndCarriesLastReport();
    void type7UpdateSendsStoredBodyAndRaisesBar();
    void runningUnitIsRebootedIntoBootLoader();
    void stuckUnitEndsAtItsLimit();
    void badFilesAreRejectedBeforeAnythingIsSent_data();
    void badFilesAreRejectedBeforeAnythingIsSent();
    void unitFailuresEndTheUpdate_data();
    void unitFailuresEndTheUpdate();

private:
    // Writes the file, runs an update and returns the setUSBDiscover values emitted.
    QList<bool> runUpdate(const QByteArray& file);
    QList<bool> runUpdateOn(const QString& path);
    FakeHidUnit& addUnit(quint16 vid, quint16 pid, int output = 65, int feature = 9);

    QMainWindow m_window;
    Ui_MainUI m_ui;
    QTemporaryDir m_dir;
    std::unique_ptr<FakeHidBus> m_bus;
    std::unique_ptr<KorvinaUpdater> m_updater;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<ScriptedDialogs::Scope> m_scope;
};

void TestKorvina::initTestCase()
{
    m_ui.setupUi(&m_window);
}

void TestKorvina::init()
{
    m_bus = std::make_unique<FakeHidBus>();
    m_updater = std::make_unique<KorvinaUpdater>(&m_ui);
    m_updater->setHidBackend(m_bus.get());
    m_dialogs.clear();
    m_scope = std::make_unique<ScriptedDialogs::Scope>(m_dialogs);
    m_ui.updateBar->setRange(0, 1000);
    m_ui.updateBar->setValue(0);
}

void TestKorvina::cleanup()
{
    m_scope.reset();
    m_updater.reset();
    m_bus.reset();
}

FakeHidUnit& TestKorvina::addUnit(quint16 vid, quint16 pid, int output, int feature)
{
    FakeHidUnit& unit = m_bus->addUnit(vid, pid);
    unit.setReportLengths(output, feature);
    return unit;
}

QList<bool> TestKorvina::runUpdate(const QByteArray& file)
{
    const QString path = m_dir.filePath(QStringLiteral("kvm.bin"));
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(file);
    f.close();
    return runUpdateOn(path);
}

QList<bool> TestKorvina::runUpdateOn(const QString& path)
{
    m_ui.updateFilename->setText(path);
    QSignalSpy spy(m_updater.get(), &KorvinaUpdater::setUSBDiscover);
    m_updater->initiateFirmwareUpdate();
    QList<bool> values;
    for (const auto& args : spy)
        values << args.at(0).toBool();
    return values;
}

void TestKorvina::aesKnownAnswerAndOpenssl()
{
    // The example vector of the AES standard.
    const QByteArray key = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
    const QByteArray cipher = QByteArray::fromHex("69c4e0d86a7b0430d8cdb78070b4c55a");
    QByteArray plain(16, '\0');
    Aes128::decryptBlock(reinterpret_cast<const quint8*>(key.constData()),
                         reinterpret_cast<const quint8*>(cipher.constData()), reinterpret_cast<quint8*>(plain.data()));
    QCOMPARE(plain.toHex(), QByteArray("00112233445566778899aabbccddeeff"));

    // Both program keys against openssl, block by block (no chaining).
    const QByteArray text = pattern(64, 3);
    QByteArray back(16, '\0');
    const QByteArray a = opensslEncrypt(kHeaderKeyHex, text.left(16));
    KorvinaUpdater::aesDecryptBlockKeyA(reinterpret_cast<const quint8*>(a.constData()),
                                        reinterpret_cast<quint8*>(back.data()));
    QCOMPARE(back, text.left(16));
    const QByteArray b = opensslEncrypt(kBodyKeyHex, text);
    QCOMPARE(b.size(), 64);
    for (int i = 0; i < 64; i += 16) {
        KorvinaUpdater::aesDecryptBlockKeyB(reinterpret_cast<const quint8*>(b.constData()) + i,
                                            reinterpret_cast<quint8*>(back.data()));
        QCOMPARE(back, text.mid(i, 16));
    }
}

void TestKorvina::checksumAndReportLengths()
{
    QByteArray row(16, '\0');
    row[0] = 0x01;
    row[1] = 0x02;
    row[15] = char(0xFF);
    const auto* d = reinterpret_cast<const quint8*>(row.constData());
    QCOMPARE(KorvinaUpdater::velmoCheckSum(d, 16), 0x0201);
    QCOMPARE(KorvinaUpdater::velmoCheckSum(d, 3), 0x0201); // the whole last row counts
    QCOMPARE(KorvinaUpdater::velmoCheckSum(d, 0), 0);
    const QByteArray ff(32, char(0xFF));
    QCOMPARE(quint32(KorvinaUpdater::velmoCheckSum(reinterpret_cast<const quint8*>(ff.constData()), 32)),
             16u * 0xFFFFu);

    // A vendor descriptor: 64-byte output report, 8-byte feature report; and a numbered one with
    // two feature reports, the longer one counting; a truncated one keeps what it read.
    const QByteArray vendor = QByteArray::fromHex("0600ff0901a101"
                                                  "750895400901" "9102"
                                                  "750895080902" "b102"
                                                  "c0");
    QCOMPARE(hidReportLengths(vendor).output, 65);
    QCOMPARE(hidReportLengths(vendor).feature, 9);
    const QByteArray numbered = QByteArray::fromHex("0600ff0901a101"
                                                    "8501750895030901b102"
                                                    "8502750895100902b102"
                                                    "c0");
    QCOMPARE(hidReportLengths(numbered).output, 0);
    QCOMPARE(hidReportLengths(numbered).feature, 17);
    QCOMPARE(hidReportLengths(vendor.left(vendor.size() - 8)).output, 65);
    QCOMPARE(hidReportLengths(QByteArray::fromHex("27ffff")).feature, 0);
}

void TestKorvina::type8UpdateSendsDecipheredBodyAndCarriesLastReport()
{
    FakeHidUnit& boot = addUnit(0x10D5, 0x5555);
    const QByteArray body = pattern(100);
    FileSpec spec;
    spec.body = body;
    QCOMPARE(runUpdate(makeFirmware(spec)), (QList<bool>{false, true}));

    QCOMPARE(m_updater->firmwareLength, 116);
    QCOMPARE(m_updater->header().at(1), char(8));
    const QList<QByteArray> data = boot.writtenReports();
    QCOMPARE(data.size(), 2);
    QCOMPARE(data[0], QByteArray(1, '\0') + body.left(64));
    // The last report carries body bytes 64..99, then what the first report held after them.
    QCOMPARE(data[1], QByteArray(1, '\0') + body.mid(64) + body.mid(36, 28));

    const QList<QByteArray> features = boot.featureReports();
    QCOMPARE(features.size(), 3); // start, end, then leave (found under its own IDs)
    QCOMPARE(features[0], QByteArray::fromHex("000101") + QByteArray(62, '\0'));
    QCOMPARE(features[1], QByteArray::fromHex("0009") + data[1].mid(2));
    QCOMPARE(features[2], QByteArray::fromHex("000a") + QByteArray(7, '\0'));
    QCOMPARE(m_ui.updateBar->value(), 1);
    QCOMPARE(boot.openHandles(), 0);
    QVERIFY(m_dialogs.wasShown(QStringLiteral("Firmware upgrade successful.")));
}

void TestKorvina::type7UpdateSendsStoredBodyAndRaisesBar()
{
    FakeHidUnit& boot = addUnit(0x1EC7, 0x0012);
    FileSpec spec;
    spec.type = 7;
    spec.body = pattern(1024, 5);
    const QByteArray file = makeFirmware(spec);
    QCOMPARE(runUpdate(file), (QList<bool>{false, true}));

    const QList<QByteArray> data = boot.writtenReports();
    QCOMPARE(data.size(), 16);
    QByteArray sent;
    for (const QByteArray& r : data)
        sent += r.mid(1);
    QCOMPARE(sent, file.mid(16)); // the enciphered bytes, as stored
    QCOMPARE(m_updater->body().left(1024), spec.body);
    QCOMPARE(m_ui.updateBar->value(), 2);
    QCOMPARE(boot.featureReports().size(), 3);
    QCOMPARE(boot.featureReports().last().left(2), QByteArray::fromHex("000a"));
    QCOMPARE(m_dialogs.shown().size(), 1);
}

void TestKorvina::runningUnitIsRebootedIntoBootLoader()
{
    FakeHidUnit& running = addUnit(0x1EC7, 0x0011);
    // A second interface of the unit without feature reports is passed over.
    addUnit(0x1EC7, 0x0012, 65, 0);
    FakeHidUnit* boot = nullptr;
    running.setFeatureResponder([this, &boot](FakeHidUnit& unit, const QByteArray&) {
        unit.unplug();
        boot = &addUnit(0x1EC7, 0x0012);
    });
    FileSpec spec;
    spec.type = 7;
    spec.body = pattern(48);
    QCOMPARE(runUpdate(makeFirmware(spec)), (QList<bool>{false, true}));
    QCOMPARE(running.featureReports(), (QList<QByteArray>{QByteArray::fromHex("0401") + QByteArray(7, '\0')}));
    QVERIFY(boot);
    QCOMPARE(boot->writtenReports().size(), 1);
    QVERIFY(m_dialogs.wasShown(QStringLiteral("Firmware upgrade successful.")));
}

void TestKorvina::stuckUnitEndsAtItsLimit()
{
    // A unit that stays in normal mode gets a bounded number of reboot requests per search.
    FakeHidUnit& running = addUnit(0x1EC7, 0x0011);
    FileSpec spec;
    spec.body = pattern(32);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(runUpdate(makeFirmware(spec)), (QList<bool>{false, true}));
    QCOMPARE(running.featureReports().size(), 2 * KorvinaUpdater::kMaxReboots);
    QCOMPARE(running.openHandles(), 0);
    QCOMPARE(m_dialogs.shown().size(), 1);
    QCOMPARE(m_dialogs.shown().first().text, QStringLiteral("Please put the device into Programming mode."));
    QVERIFY(clock.elapsed() < 20000);
}

void TestKorvina::badFilesAreRejectedBeforeAnythingIsSent_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("message");
    FileSpec good;
    good.body = pattern(100);
    FileSpec s = good;
    s.checksumDelta = 1;
    QTest::newRow("checksum off by one") << makeFirmware(s) << "File Error.";
    s = good;
    s.headerSumDelta = 1;
    QTest::newRow("header sum") << makeFirmware(s) << "File Error.";
    s = good;
    s.mark = 0x66;
    QTest::newRow("mark") << makeFirmware(s) << "File Error.";
    s = good;
    s.totalDelta = 16;
    QTest::newRow("length past the file") << makeFirmware(s) << "File Error.";
    s = good;
    s.totalDelta = -100;
    QTest::newRow("no body") << makeFirmware(s) << "File Error.";
    QTest::newRow("truncated header") << makeFirmware(good).left(10) << "File Error.";
    QTest::newRow("empty") << QByteArray() << "File Error.";
    s = good;
    s.type = 5;
    QTest::newRow("unknown unit type") << makeFirmware(s) << "Please put the device into Programming mode.";
}

void TestKorvina::badFilesAreRejectedBeforeAnythingIsSent()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    FakeHidUnit& boot7 = addUnit(0x1EC7, 0x0012);
    FakeHidUnit& boot8 = addUnit(0x10D5, 0x5555);
    QCOMPARE(runUpdate(file), (QList<bool>{false, true}));
    QCOMPARE(m_dialogs.shown().size(), 1);
    QCOMPARE(m_dialogs.shown().first().title, QStringLiteral("Status"));
    QCOMPARE(m_dialogs.shown().first().text, message);
    QCOMPARE(boot7.openCount() + boot8.openCount(), 0);
    if (message == QLatin1String("File Error."))
        QCOMPARE(m_updater->header(), QByteArray(16, '\0'));
}

void TestKorvina::unitFailuresEndTheUpdate_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("dataReports");
    QTest::newRow("start refused") << "refuse" << "Could not start firmware upgrade, try again." << 0;
    QTest::newRow("write stalls") << "stall" << "Upgrade Failed." << 0;
    QTest::newRow("no output reports") << "nooutput" << "OutputReportByteLength" << 0;
    QTest::newRow("unit gone before leave") << "vanish" << "Upgrade Failed." << 2;
    QTest::newRow("missing file") << "nofile" << QString() << 0;
    QTest::newRow("fifo") << "fifo" << "File Error." << 0;
}

void TestKorvina::unitFailuresEndTheUpdate()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QFETCH(int, dataReports);
    FakeHidUnit& boot = addUnit(0x1EC7, 0x0012, fault == QLatin1String("nooutput") ? 0 : 65);
    boot.setFeatureRefused(fault == QLatin1String("refuse"));
    boot.setWriteStalls(fault == QLatin1String("stall"));
    if (fault == QLatin1String("vanish"))
        boot.setFeatureResponder([](FakeHidUnit& unit, const QByteArray& r) {
            if (r.at(1) == 0x09)
                unit.unplug();
        });
    FileSpec spec;
    spec.type = 7;
    spec.body = pattern(128);
    QList<bool> discover;
    if (fault == QLatin1String("nofile") || fault == QLatin1String("fifo")) {
        const QString path = m_dir.filePath(fault);
        if (fault == QLatin1String("fifo"))
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        discover = runUpdateOn(path);
    } else {
        discover = runUpdate(makeFirmware(spec));
    }
    QCOMPARE(discover, (QList<bool>{false, true}));
    QCOMPARE(boot.writtenReports().size(), dataReports);
    QCOMPARE(boot.openHandles(), 0);
    QCOMPARE(m_dialogs.shown().size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(m_dialogs.shown().first().text, message);
    QVERIFY(!m_dialogs.wasShown(QStringLiteral("successful")));
}

PLEXA_TEST_MAIN(TestKorvina)
#include "tst_korvina.moc"
