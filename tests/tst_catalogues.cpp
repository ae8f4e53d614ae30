// The catalogue files: loaders, writers, the pick lists, chromaticity sets, the per-user copies,
// and the shipped timing catalogue against the VESA and CTA-861 timings that edid-decode knows.

#include "plexatest.h"
#include "scripteddialogs.h"

#include "cataloguepicklists.h"
#include "constants.h"
#include "edidcatalogues.h"

#include <QComboBox>
#include <QDomDocument>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool copyFixture(const QString& name, const QString& target)
{
    QFile::remove(target);
    return QFile::copy(PlexaTest::dataPath(QStringLiteral("catalogues/") + name), target)
        && QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace

class TestCatalogues : public QObject
{
    Q_OBJECT

private slots:
    void timingLoaderReadsKeysAndFillsGaps();
    void audioLoaderReadsLists();
    void brokenFilesAreReportedAndKept_data();
    void brokenFilesAreReportedAndKept();
    void writtenEntriesAreReadBack();
    void failedWriteKeepsTheOldFile();
    void filters_data();
    void filters();
    void pickLists();
    void storeAndRemoveChromaticity();
    void perUserCopiesAreSeededOnce();
    void shippedTimingsAgreeWithTheStandards();

private:
    QTemporaryDir dir;
};

void TestCatalogues::timingLoaderReadsKeysAndFillsGaps()
{
    TimingCatalogue catalogue;
    QString error;
    QVERIFY(loadTimingCatalogue(PlexaTest::dataPath(QStringLiteral("catalogues/timings.xml")), &catalogue, &error));
    QCOMPARE(catalogue.timings.size(), 3);

    const Timing wall = catalogue.timings.at(0);
    QCOMPARE(wall.fieldRate, 59);
    QVERIFY(wall.hPol && !wall.vPol);
    QCOMPARE(wall.hBorder, 4);
    // No aspect: the reduced resolution. No size: the aspect ratio, never pixel counts in mm.
    QCOMPARE(wall.hAspect, 16);
    QCOMPARE(wall.vAspect, 9);
    QCOMPARE(wall.hSize, 16);
    QCOMPARE(wall.vSize, 9);
    // The name of a custom entry is taken whatever the order of its children.
    QVERIFY(catalogue.customNames.contains(QStringLiteral("Wall 4K")));
    QCOMPARE(catalogue.customNames.size(), 1);

    const Timing vic5 = catalogue.timings.at(1); // nested entries count too
    QVERIFY(vic5.ip);
    QCOMPARE(vic5.vic, 5);
    QCOMPARE(vic5.hSize, 16);

    const Timing cinema = catalogue.timings.at(2);
    QCOMPARE(cinema.hAspect, 256);
    QCOMPARE(cinema.vAspect, 135);
    QCOMPARE(cinema.hTotal, 0);

    QCOMPARE(catalogue.horizontalPixels, (QList<int>{1920, 3840, 4096}));
    QCOMPARE(catalogue.verticalLines, (QList<int>{1080, 2160}));
    QCOMPARE(catalogue.refreshRates, (QList<int>{24, 59, 60}));
}

void TestCatalogues::audioLoaderReadsLists()
{
    AudioCatalogue catalogue;
    QVERIFY(loadAudioCatalogue(PlexaTest::dataPath(QStringLiteral("catalogues/audio.xml")), &catalogue));
    QCOMPARE(catalogue.formats.size(), 2);
    const AudioFormat pcm = catalogue.formats.at(0);
    QCOMPARE(pcm.type, 1);
    QCOMPARE(pcm.samplingFreqs, (QList<double>{32, 44.1, 0}));
    QCOMPARE(pcm.bitDepths, (QList<int>{16, 24}));
    QVERIFY(pcm.mpegSurroundExplicit);
    QCOMPARE(catalogue.formats.at(1).type, 0);
    QCOMPARE(catalogue.names, (QSet<QString>{QStringLiteral("PCM"), QStringLiteral("Unknown coding")}));
}

void TestCatalogues::brokenFilesAreReportedAndKept_data()
{
    QTest::addColumn<bool>("exists");
    QTest::newRow("missing") << false;
    QTest::newRow("malformed") << true;
}

void TestCatalogues::brokenFilesAreReportedAndKept()
{
    QFETCH(bool, exists);
    const QString path = dir.filePath(QStringLiteral("broken.xml"));
    QFile::remove(path);
    if (exists)
        QVERIFY(copyFixture(QStringLiteral("malformed.xml"), path));
    const QByteArray before = readAll(path);

    TimingCatalogue timings;
    timings.customNames.insert(QStringLiteral("stale"));
    QString error;
    QVERIFY(!loadTimingCatalogue(path, &timings, &error));
    QVERIFY(timings.timings.isEmpty() && timings.customNames.isEmpty());
    QVERIFY2(error.contains(QStringLiteral("broken.xml")), qPrintable(error));
    AudioCatalogue audio;
    QVERIFY(!loadAudioCatalogue(path, &audio, &error));
    ChromaticityCatalogue chroma;
    QVERIFY(!loadChromaticityCatalogue(path, &chroma, &error));

    // Appending to a file that does not parse is refused and leaves it alone.
    if (exists) {
        QVERIFY(!appendTimingEntry(path, Timing(), &error));
        QVERIFY(error.contains(QStringLiteral("not a valid XML")));
        QCOMPARE(readAll(path), before);
    }
    QCOMPARE(QFile::exists(path), exists);
}

void TestCatalogues::writtenEntriesAreReadBack()
{
    const QString timingsPath = dir.filePath(QStringLiteral("new-timings.xml"));
    Timing t;
    t.name = QStringLiteral("Panel");
    t.hActive = 1366;
    t.vActive = 384;
    t.ip = true;
    t.hBlank = 160;
    t.hFront = 48;
    t.hSync = 32;
    t.hBack = 80;
    t.hPol = true;
    t.vBlank = 22;
    t.vFront = 3;
    t.vSync = 5;
    t.vBack = 14;
    t.hBorder = 2;
    t.vBorder = 1;
    t.hSize = 344;
    t.vSize = 194;
    t.pixelFreq = 72.25;
    t.updateTotalsAndRates();
    QVERIFY(appendTimingEntry(timingsPath, t)); // no file yet: a new catalogue
    QVERIFY(appendTimingEntry(timingsPath, t));
    TimingCatalogue timings;
    QVERIFY(loadTimingCatalogue(timingsPath, &timings));
    QCOMPARE(timings.timings.size(), 2);
    const Timing back = timings.timings.at(1);
    QCOMPARE(back.type, TIMING_TYPE_CUSTOM);
    QCOMPARE(back.hTotal, t.hTotal);
    QCOMPARE(back.vTotal, t.vTotal);
    QCOMPARE(back.hBorder, 2);
    QCOMPARE(back.vBorder, 1);
    QVERIFY(back.ip && back.hPol && !back.vPol);
    QCOMPARE(back.fieldRate, t.fieldRate);
    QCOMPARE(back.hSize, 344);
    QVERIFY(timings.customNames.contains(QStringLiteral("Panel")));
    QDomDocument document;
    QVERIFY(CatalogueFiles::readDocument(timingsPath, &document, nullptr));
    QCOMPARE(document.documentElement().tagName(), TIMINGS_DOCTYPE);

    const QString audioPath = dir.filePath(QStringLiteral("new-audio.xml"));
    AudioFormat f;
    f.type = 19;
    f.name = QStringLiteral("HE AAC MPS");
    f.channels = 6;
    f.samplingFreqs = {44.1, 48, 176.4};
    f.audioFrameLength = {960, 1024};
    f.mpegSurroundExplicit = true;
    QVERIFY(appendAudioEntry(audioPath, f));
    AudioCatalogue audio;
    QVERIFY(loadAudioCatalogue(audioPath, &audio));
    QCOMPARE(audio.formats.value(0), f);
}

void TestCatalogues::failedWriteKeepsTheOldFile()
{
    // A catalogue path that is a folder cannot be written: reported, not a crash.
    QString error;
    QVERIFY(!CatalogueFiles::writeDocument(dir.path(), QDomDocument(), &error));
    QVERIFY(error.contains(QStringLiteral("Cannot write")));

    if (::geteuid() == 0)
        QSKIP("running as root: a read-only folder does not stop writes");
    QTemporaryDir locked;
    const QString path = locked.filePath(QStringLiteral("chromaticity.xml"));
    QVERIFY(appendChromaticityEntry(path, Chromaticity{QStringLiteral("One"), 0.6, 0.3, 0.3, 0.6, 0.15, 0.06, 0.31, 0.33}));
    const QByteArray before = readAll(path);
    QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::ExeOwner);
    const bool written = appendChromaticityEntry(path, Chromaticity{QStringLiteral("Two")}, &error);
    QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QCOMPARE(readAll(path), before);
}

void TestCatalogues::filters_data()
{
    QTest::addColumn<QStringList>("filter"); // pixels, lines, rate, scan
    QTest::addColumn<bool>("interlaced");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("any") << QStringList{"Any", "Any", "Any", "Any"} << true << true;
    QTest::newRow("interlaced lines count per frame") << QStringList{"1920", "1080", "60", "Interlaced"} << true << true;
    QTest::newRow("not per field") << QStringList{"Any", "540", "Any", "Any"} << true << false;
    QTest::newRow("progressive filter") << QStringList{"Any", "Any", "Any", "Progressive"} << true << false;
    QTest::newRow("other rate") << QStringList{"Any", "Any", "50", "Any"} << true << false;
    QTest::newRow("not a number matches only 0") << QStringList{"wide", "Any", "Any", "Any"} << false << false;
}

void TestCatalogues::filters()
{
    QFETCH(QStringList, filter);
    QFETCH(bool, interlaced);
    QFETCH(bool, accepted);
    Timing t;
    t.hActive = 1920;
    t.vActive = interlaced ? 540 : 1080;
    t.ip = interlaced;
    t.fieldRate = 60;
    const TimingFilter f{filter.at(0), filter.at(1), filter.at(2), filter.at(3)};
    QCOMPARE(f.accepts(t), accepted);
}

void TestCatalogues::pickLists()
{
    TimingCatalogue timings;
    QVERIFY(loadTimingCatalogue(PlexaTest::dataPath(QStringLiteral("catalogues/timings.xml")), &timings));
    QComboBox box;
    int picks = 0;
    connect(&box, QOverload<int>::of(&QComboBox::currentIndexChanged), [&] { ++picks; });
    TimingFilter filter;
    filter.scanType = QStringLiteral("Progressive");
    CataloguePickLists::fillTimingList(&box, timings.timings, filter, [](const Timing& t) { return t.name; });
    QCOMPARE(box.count(), 3);
    QCOMPARE(box.itemText(0), QStringLiteral("Select Timing from List"));
    QCOMPARE(box.itemText(2), QStringLiteral("Cinema"));
    QVERIFY(box.isEnabled());
    filter.refreshRate = QStringLiteral("30");
    CataloguePickLists::fillTimingList(&box, timings.timings, filter, [](const Timing& t) { return t.name; });
    QVERIFY(!box.isEnabled());
    QCOMPARE(picks, 0);

    CataloguePickLists::fillFilterList(&box, timings.refreshRates);
    QCOMPARE(box.itemText(0), QStringLiteral("Any"));
    QCOMPARE(box.itemText(3), QStringLiteral("60"));
}

void TestCatalogues::storeAndRemoveChromaticity()
{
    const QString path = dir.filePath(QStringLiteral("chroma.xml"));
    QFile::remove(path);
    ChromaticityCatalogue catalogue;
    QComboBox box;
    CataloguePickLists::fillChromaticityList(&box, catalogue.sets);
    const Chromaticity values{QString(), 0.64, 0.33, 0.3, 0.6, 0.15, 0.06, 0.3127, 0.329};

    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope(dialogs);
    dialogs.answerText(QStringLiteral("Studio"));
    QVERIFY(CataloguePickLists::storeChromaticity(nullptr, nullptr, path, values, &catalogue, &box));
    dialogs.answerText(QStringLiteral("Second"));
    QVERIFY(CataloguePickLists::storeChromaticity(nullptr, nullptr, path, values, &catalogue, &box));
    QCOMPARE(box.count(), 3);
    QCOMPARE(box.currentIndex(), 0);

    // A used name, an empty name and a cancelled dialog are refused alike.
    dialogs.answerText(QStringLiteral("Studio"));
    dialogs.answerText(QString());
    dialogs.answerCancel();
    for (int i = 0; i < 3; ++i)
        QVERIFY(!CataloguePickLists::storeChromaticity(nullptr, nullptr, path, values, &catalogue, &box));
    QCOMPARE(dialogs.shown().count(), 8); // five name questions, three warnings
    QCOMPARE(dialogs.shown().last().title, QStringLiteral("Chromaticity Name Required"));

    ChromaticityCatalogue reread;
    QVERIFY(loadChromaticityCatalogue(path, &reread));
    QCOMPARE(reread.sets.size(), 2);
    QCOMPARE(reread.sets.at(0).whiteX, 0.3127);

    box.setCurrentIndex(1);
    QVERIFY(CataloguePickLists::removeChromaticity(nullptr, path, &catalogue, &box));
    QCOMPARE(box.count(), 2);
    QVERIFY(!catalogue.names.contains(QStringLiteral("Studio")));
    QVERIFY(loadChromaticityCatalogue(path, &reread));
    QCOMPARE(reread.sets.size(), 1);
    QCOMPARE(reread.sets.at(0).name, QStringLiteral("Second"));

    // A file that no longer parses: removing reports it and changes nothing.
    QVERIFY(copyFixture(QStringLiteral("malformed.xml"), path));
    box.setCurrentIndex(1);
    QVERIFY(!CataloguePickLists::removeChromaticity(nullptr, path, &catalogue, &box));
    QCOMPARE(box.count(), 2);
    QCOMPARE(dialogs.shown().last().title, QStringLiteral("Chromaticity Not Removed"));
}

void TestCatalogues::perUserCopiesAreSeededOnce()
{
    const QString path = CatalogueFiles::path(TIMINGS_FILE);
    QVERIFY(path.startsWith(QDir::homePath()));
    TimingCatalogue shipped;
    QVERIFY(loadTimingCatalogue(path, &shipped));
    QVERIFY(shipped.timings.size() > 200);

    Timing mine;
    mine.name = QStringLiteral("Survives a restart");
    mine.hActive = 800;
    mine.vActive = 600;
    QVERIFY(appendTimingEntry(path, mine));
    TimingCatalogue again;
    QVERIFY(loadTimingCatalogue(CatalogueFiles::path(TIMINGS_FILE), &again));
    QCOMPARE(again.timings.size(), shipped.timings.size() + 1);
    QVERIFY(again.customNames.contains(mine.name));

    AudioCatalogue audio;
    QVERIFY(loadAudioCatalogue(CatalogueFiles::path(AUDIO_FILE), &audio));
    QVERIFY(!audio.formats.isEmpty());
    ChromaticityCatalogue chroma;
    QVERIFY(loadChromaticityCatalogue(CatalogueFiles::path(CHROMATICITY_FILE), &chroma));
    QCOMPARE(chroma.sets.value(0).name, CHROMATICITY_SRGB);

    // The shipped copies themselves read as well (the decoder's fuzz target takes them).
    TimingCatalogue resource;
    QString error;
    QVERIFY2(loadTimingCatalogue(QStringLiteral(":/catalogues/") + TIMINGS_FILE, &resource, &error), qPrintable(error));
    QCOMPARE(resource.timings.size(), shipped.timings.size());
}

// Every VESA entry carries the DMT id it was made from, every CEA entry its VIC (and HDMI VIC);
// edid-decode's tables of the standards must give the same timing.
void TestCatalogues::shippedTimingsAgreeWithTheStandards()
{
    if (QStandardPaths::findExecutable(QStringLiteral("edid-decode")).isEmpty())
        QSKIP("edid-decode is not installed, so there is no reference to compare with");

    const QString path = QStringLiteral(PLEXA_SOURCE_DIR "/data/timings.xml");
    TimingCatalogue catalogue;
    QVERIFY(loadTimingCatalogue(path, &catalogue));
    QDomDocument document;
    QVERIFY(CatalogueFiles::readDocument(path, &document, nullptr));
    const QDomNodeList entries = document.elementsByTagName(TIMING_ELEMENT);
    QCOMPARE(entries.size(), catalogue.timings.size());

    const QRegularExpression head(QStringLiteral(R"(:\s+(\d+)x(\d+)(i?)\s+([\d.]+) Hz\s+(\d+):(\d+)\s+[\d.]+ kHz\s+([\d.]+) MHz)"));
    const QRegularExpression hLine(QStringLiteral(R"(Hfront\s+(\d+) Hsync\s+(\d+) Hback\s+(\d+) Hpol ([PN]))"));
    const QRegularExpression vLine(QStringLiteral(R"(Vfront\s+(\d+) Vsync\s+(\d+) Vback\s+(\d+) Vpol ([PN]))"));
    int checked = 0;
    int dmts = 0;
    int hdmiVics = 0;
    for (int i = 0; i < entries.size(); ++i) {
        const Timing& t = catalogue.timings.at(i);
        const QString dmt = entries.at(i).toElement().firstChildElement(QStringLiteral("dmt")).text();
        QList<QStringList> queries;
        if (t.type == TIMING_TYPE_VESA && !dmt.isEmpty())
            queries << QStringList{QStringLiteral("--dmt"), dmt};
        if (t.type == TIMING_TYPE_CEA)
            queries << QStringList{QStringLiteral("--vic"), QString::number(t.vic)};
        if (t.hdmiVic != 0)
            queries << QStringList{QStringLiteral("--hdmi-vic"), QString::number(t.hdmiVic)};
        dmts += dmt.isEmpty() ? 0 : 1;
        hdmiVics += t.hdmiVic != 0 ? 1 : 0;

        for (const QStringList& query : queries) {
            QProcess process;
            process.start(QStringLiteral("edid-decode"), query);
            QVERIFY(process.waitForFinished(10000));
            const QString out = QString::fromLatin1(process.readAllStandardOutput());
            const auto m = head.match(out), h = hLine.match(out), v = vLine.match(out);
            const QByteArray where = (t.name + QLatin1Char(' ') + query.join(QLatin1Char(' '))).toUtf8();
            QVERIFY2(m.hasMatch() && h.hasMatch() && v.hasMatch(), where.constData());
            QVERIFY2(t.hActive == m.captured(1).toInt(), where.constData());
            QVERIFY2((t.ip ? 2 * t.vActive : t.vActive) == m.captured(2).toInt(), where.constData());
            QVERIFY2(t.ip == !m.captured(3).isEmpty(), where.constData());
            QVERIFY2(t.fieldRate == qRound(m.captured(4).toDouble()), where.constData());
            QVERIFY2(t.hAspect == m.captured(5).toInt() && t.vAspect == m.captured(6).toInt(), where.constData());
            QVERIFY2(qRound(t.pixelFreq * 1000) == qRound(m.captured(7).toDouble() * 1000), where.constData());
            QVERIFY2(t.hFront == h.captured(1).toInt() && t.hSync == h.captured(2).toInt()
                         && t.hBack == h.captured(3).toInt() && t.hPol == (h.captured(4) == QLatin1String("P")),
                     where.constData());
            QVERIFY2(t.vFront == v.captured(1).toInt() && t.vSync == v.captured(2).toInt()
                         && t.vBack == v.captured(3).toInt() && t.vPol == (v.captured(4) == QLatin1String("P")),
                     where.constData());
            QVERIFY2(t.hBlank == t.hFront + t.hSync + t.hBack && t.vBlank == t.vFront + t.vSync + t.vBack,
                     where.constData());
            ++checked;
        }
    }
    // Every DMT and VIC edid-decode knows is in the catalogue.
    QProcess list;
    list.start(QStringLiteral("edid-decode"), {QStringLiteral("--list-dmts")});
    QVERIFY(list.waitForFinished(10000));
    QCOMPARE(dmts, QString::fromLatin1(list.readAllStandardOutput()).count(QStringLiteral("DMT 0x")));
    list.start(QStringLiteral("edid-decode"), {QStringLiteral("--list-hdmi-vics")});
    QVERIFY(list.waitForFinished(10000));
    QCOMPARE(hdmiVics, QString::fromLatin1(list.readAllStandardOutput()).count(QStringLiteral("HDMI VIC")));
    QVERIFY(checked > 240);
}

PLEXA_TEST_MAIN(TestCatalogues)
#include "tst_catalogues.moc"
