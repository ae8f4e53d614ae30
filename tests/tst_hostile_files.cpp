// Files that are not what the program expects: a FIFO, a device, a folder or a huge file in place
// of a per-user XML file, an EDID file or a connector file of the kernel; EDID files longer than
// any EDID; per-user files whose bytes are not the UTF-8 they declare. Every read comes back at
// once, refuses the file with a reason, leaves it as it is and stays small in memory.

#include "plexatest.h"

#include "edidbuilder.h"
#include "edidcatalogues.h"
#include "edidfile.h"
#include "monitoredids.h"
#include "myxmlmanager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

#include <atomic>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 HugeFileBytes = qint64(1) << 30; // sparse: takes no disk

qint64 peakMemoryKiB()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Runs `read` on a thread of its own and reports whether it came back by itself. A read that
// waits on the FIFO `fifo` is then released (the FIFO opened for writing and closed again), so a
// fault fails the test rather than hanging it. The bound is a safety net, not a measurement.
bool cameBack(const std::function<void()>& read, const QString& fifo)
{
    std::atomic<bool> done{false};
    std::thread thread([&]() {
        read();
        done = true;
    });
    QDeadlineTimer bound(30000);
    while (!done && !bound.hasExpired())
        QThread::msleep(5);
    const bool returned = done;
    while (!done && !fifo.isEmpty()) {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
        QThread::msleep(5);
    }
    if (done)
        thread.join();
    else
        thread.detach(); // a device read that never ends: the test has failed already
    return returned;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

void removeAnything(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}

// How something stands at a path, to tell that it was left alone.
QString describe(const QString& path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("nothing");
    if (S_ISLNK(st.st_mode))
        return QStringLiteral("link to ") + QFileInfo(path).symLinkTarget();
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("FIFO");
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("folder");
    return QStringLiteral("file of %1 bytes").arg(qint64(st.st_size));
}

const QByteArray SettingsContent = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<VelmoPersistent>"
                                   "<lastSavedDirectory>/stored</lastSavedDirectory></VelmoPersistent>\n";

} // namespace

class TestHostileFiles : public QObject
{
    Q_OBJECT

private slots:
    void notRegularOrHuge_data();
    void notRegularOrHuge();
    void edidFileLength_data();
    void edidFileLength();
    void notTheUtf8Declared_data();
    void notTheUtf8Declared();

private:
    QTemporaryDir dir;
};

void TestHostileFiles::notRegularOrHuge_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("fixture");
    const QStringList readers{"settings",         "timings.xml", "audio.xml",     "chromaticity.xml",
                              "EDID file",        "monitor edid", "monitor status"};
    for (const QString& reader : readers) {
        for (const QString& fixture : {"FIFO", "folder", "/dev/zero", "huge"})
            QTest::newRow(qPrintable(reader + QLatin1String(", ") + fixture)) << reader << fixture;
    }
}

// The per-user catalogues are read at start-up, the settings by every file dialog, an EDID file
// when the user opens it and the connector files every five seconds: none may wait on what stands
// at the path, nor take a huge file into memory.
void TestHostileFiles::notRegularOrHuge()
{
    QFETCH(QString, reader);
    QFETCH(QString, fixture);

    const QByteArray edid = EdidBuilder().build();
    const QString drm = dir.filePath(QStringLiteral("drm"));
    QString path;
    QByteArray goodStart; // what a huge file begins with
    if (reader == QLatin1String("settings")) {
        path = myXMLManager::settingsFilePath();
        goodStart = SettingsContent;
    } else if (reader.endsWith(QLatin1String(".xml"))) {
        path = CatalogueFiles::folder() + QLatin1Char('/') + reader;
        goodStart = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<timings/>\n";
    } else if (reader == QLatin1String("EDID file")) {
        path = dir.filePath(QStringLiteral("monitor.bin"));
        goodStart = edid;
    } else {
        removeAnything(drm);
        writeFile(drm + QStringLiteral("/card0-DP-1/status"), "connected\n");
        writeFile(drm + QStringLiteral("/card0-DP-1/edid"), edid);
        writeFile(drm + QStringLiteral("/card0-DP-2/status"), "connected\n");
        writeFile(drm + QStringLiteral("/card0-DP-2/edid"), edid);
        path = drm + (reader == QLatin1String("monitor edid") ? QStringLiteral("/card0-DP-2/edid")
                                                              : QStringLiteral("/card0-DP-2/status"));
        goodStart = reader == QLatin1String("monitor edid") ? edid : QByteArray("connected\n");
    }
    removeAnything(path);
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    if (fixture == QLatin1String("FIFO")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (fixture == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
    } else if (fixture == QLatin1String("/dev/zero")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    } else {
        writeFile(path, goodStart);
        QVERIFY(QFile::resize(path, HugeFileBytes));
    }
    const QString before = describe(path);

    bool refused = false;
    QString error;
    const std::function<void()> read = [&]() {
        if (reader == QLatin1String("settings")) {
            refused = myXMLManager::getLastSavedDirectory() == QDir::homePath();
            myXMLManager::setLastSavedDirectory(dir.filePath(QStringLiteral("chosen.bin")));
        } else if (reader.endsWith(QLatin1String(".xml"))) {
            const QString catalogue = CatalogueFiles::path(reader);
            bool loaded = true;
            if (reader == QLatin1String("timings.xml")) {
                TimingCatalogue timings;
                loaded = loadTimingCatalogue(catalogue, &timings, &error);
                refused = !appendTimingEntry(catalogue, Timing());
            } else if (reader == QLatin1String("audio.xml")) {
                AudioCatalogue audio;
                loaded = loadAudioCatalogue(catalogue, &audio, &error);
                refused = !appendAudioEntry(catalogue, AudioFormat());
            } else {
                ChromaticityCatalogue sets;
                loaded = loadChromaticityCatalogue(catalogue, &sets, &error);
                refused = !appendChromaticityEntry(catalogue, Chromaticity());
            }
            refused = refused && !loaded;
        } else if (reader == QLatin1String("EDID file")) {
            refused = readEdidFile(path, &error).isEmpty();
        } else {
            const QList<EdidEntry> monitors = connectedMonitorEdids(drm);
            refused = monitors.size() == 1 && monitors.at(0).edid == edid;
        }
    };
    const qint64 memoryBefore = peakMemoryKiB();
    QVERIFY2(cameBack(read, fixture == QLatin1String("FIFO") ? path : QString()), "the read waited on the file");
    QVERIFY(refused);
    // The reason, for the user (the connector files and the settings are read silently).
    if (reader.endsWith(QLatin1String(".xml")) || reader == QLatin1String("EDID file")) {
        if (fixture != QLatin1String("huge"))
            QVERIFY2(error.contains(QFileInfo(path).fileName() + QStringLiteral("\" is not a regular file")),
                     qPrintable(error));
        else if (reader == QLatin1String("EDID file"))
            QVERIFY2(error.contains(QLatin1String("at most 256 blocks")), qPrintable(error));
        else
            QVERIFY2(error.contains(QLatin1String("is too large")), qPrintable(error));
    }
    QCOMPARE(describe(path), before);
    QVERIFY2(peakMemoryKiB() - memoryBefore < 64 * 1024,
             qPrintable(QStringLiteral("peak memory grew by %1 MiB").arg((peakMemoryKiB() - memoryBefore) / 1024)));
    removeAnything(path);
}

void TestHostileFiles::edidFileLength_data()
{
    QTest::addColumn<qint64>("length");
    QTest::addColumn<bool>("taken");
    QTest::newRow("one block") << qint64(128) << true;
    QTest::newRow("two blocks") << qint64(256) << true;
    QTest::newRow("256 blocks, the most an EDID can announce") << qint64(256 * 128) << true;
    QTest::newRow("257 blocks") << qint64(257 * 128) << false;
    QTest::newRow("64 MB of blocks") << qint64(64) * 1024 * 1024 << false;
}

// An EDID's base block announces at most 255 extensions: a longer file is no EDID, and taking
// it whole made a description of hundreds of millions of characters.
void TestHostileFiles::edidFileLength()
{
    QFETCH(qint64, length);
    QFETCH(bool, taken);
    const QString path = dir.filePath(QStringLiteral("long.bin"));
    QByteArray base = EdidBuilder().build();
    base[126] = char(qMin<qint64>(length / 128 - 1, 255));
    EdidBuilder::fixChecksums(&base);
    writeFile(path, base);
    QVERIFY(QFile::resize(path, length));

    const qint64 memoryBefore = peakMemoryKiB();
    QString error;
    const QByteArray bytes = readEdidFile(path, &error);
    QCOMPARE(bytes.size(), taken ? int(length) : 0);
    if (taken) {
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(bytes.left(128), base);
    } else {
        QCOMPARE(error, QStringLiteral("This is not an EDID: an EDID has at most 256 blocks of 128 bytes (32768 "
                                       "bytes), but this file is longer."));
    }
    QVERIFY(peakMemoryKiB() - memoryBefore < 16 * 1024);
}

void TestHostileFiles::notTheUtf8Declared_data()
{
    QTest::addColumn<QString>("file");       // "settings" or "timings.xml"
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("locale");     // the system's 8-bit encoding
    QTest::addColumn<QString>("read");       // what is read from it; empty: refused
    const QByteArray declared = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    const QByteArray settings = "<VelmoPersistent><note>keep me \xe9</note>"
                                "<lastSavedDirectory>/home/caf\xe9</lastSavedDirectory></VelmoPersistent>\n";
    const QByteArray timings = "<timings><timing><type>Custom</type><name>keep me \xe9</name></timing></timings>\n";

    QTest::newRow("settings declared UTF-8") << "settings" << declared + settings << "UTF-8" << "";
    QTest::newRow("settings declared UTF-8, 8-bit system") << "settings" << declared + settings << "ISO-8859-1" << "";
    QTest::newRow("settings without declaration (UTF-8 by default)") << "settings" << settings << "UTF-8" << "";
    QTest::newRow("cut-off sequence at the end")
        << "settings" << declared + "<VelmoPersistent><lastSavedDirectory>/x</lastSavedDirectory></VelmoPersistent>\xc3"
        << "UTF-8" << "";
    QTest::newRow("settings of an earlier version on an 8-bit system")
        << "settings" << settings << "ISO-8859-1" << QStringLiteral("/home/caf\u00e9");
    QTest::newRow("settings that declare Latin-1")
        << "settings" << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" + settings << "UTF-8"
        << QStringLiteral("/home/caf\u00e9");
    QTest::newRow("settings in UTF-8") << "settings" << declared + QString::fromLatin1(settings).toUtf8() << "UTF-8"
                                       << QStringLiteral("/home/caf\u00e9");
    QTest::newRow("timing catalogue declared UTF-8") << "timings.xml" << declared + timings << "UTF-8" << "";
    QTest::newRow("timing catalogue that declares Latin-1")
        << "timings.xml" << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" + timings << "UTF-8"
        << QStringLiteral("keep me \u00e9");
}

// The parser would read such bytes as U+FFFD and the next save would make the loss permanent:
// the file is refused like one that does not parse, kept as it is, and defaults are used.
void TestHostileFiles::notTheUtf8Declared()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, locale);
    QFETCH(QString, read);
    QTextCodec* const systemCodec = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName(locale.toLatin1()));
    const auto restore = qScopeGuard([systemCodec]() { QTextCodec::setCodecForLocale(systemCodec); });

    if (file == QLatin1String("settings")) {
        const QString path = myXMLManager::settingsFilePath();
        writeFile(path, content);
        QCOMPARE(myXMLManager::getLastSavedDirectory(), read.isEmpty() ? QDir::homePath() : read);
        myXMLManager::setLastSavedDirectory(dir.filePath(QStringLiteral("chosen.bin")));
        if (read.isEmpty())
            QCOMPARE(PlexaTest::readFile(path), content);
        else
            QCOMPARE(myXMLManager::getLastSavedDirectory(), dir.path());
    } else {
        const QString path = CatalogueFiles::folder() + QLatin1Char('/') + file;
        writeFile(path, content);
        TimingCatalogue timings;
        QString error;
        const bool loaded = loadTimingCatalogue(CatalogueFiles::path(file), &timings, &error);
        QCOMPARE(loaded, !read.isEmpty());
        if (loaded) {
            QCOMPARE(timings.customNames, QSet<QString>{read});
        } else {
            QCOMPARE(error, QStringLiteral("\"%1\" is not a valid XML file (line 2, column 51: a byte that is not "
                                           "UTF-8). It was left unchanged.")
                                .arg(QDir::toNativeSeparators(path)));
            QVERIFY(!appendTimingEntry(path, Timing()));
            QCOMPARE(PlexaTest::readFile(path), content);
        }
    }
}

PLEXA_TEST_MAIN(TestHostileFiles)
#include "tst_hostile_files.moc"
