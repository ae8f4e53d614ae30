// Round trip of the real-monitor corpus: every EDID the editor can hold (128 or 256 bytes) is
// decoded into an editor state and encoded again without an edit, and Debian's edid-decode
// compares the two.
//
// Two ways are checked:
// - "kept": the state as the decoder leaves it, which remembers the EDID it came from; what the
//   state still says the same about is written back as read, so the result should be the
//   original (with valid checksums).
// - "rebuilt": the same state without that memory, as if the user had edited every part: every
//   byte is made from the state's fields. This shows what an edit keeps.
// For both, edid-decode must show the same timings (with their numbers), audio descriptors,
// speaker allocation, HDMI and HDMI Forum block fields, colorimetry, HDR data and display
// descriptors, and "edid-decode -c" must report no failure it did not report for the original.

#include "edidbuilder.h"
#include "ediddecodeparse.h"
#include "edidcorpus.h"
#include "ediddecoder.h"
#include "edidencoder.h"
#include "plexatest.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>

namespace {

// Why the rebuilt way cannot give an EDID back in full, or empty when it should. The kept way
// has no exception.
QString rebuildException(const QByteArray& edid)
{
    // The decoder names an extension that is not a CTA-861 block but has no fields for it: the
    // editor writes it back as read (the kept way), but there is nothing to rebuild it from.
    if (edid.size() > 128 && quint8(edid.at(128)) != 0x02)
        return QStringLiteral("its extension is not a CTA-861 block (DisplayID or display information)");
    return QString();
}

bool checksumsValid(const QByteArray& b)
{
    for (int block = 0; block < b.size() / 128; ++block) {
        int sum = 0;
        for (int k = 0; k < 128; ++k)
            sum += quint8(b.at(128 * block + k));
        if (sum % 256 != 0)
            return false;
    }
    return b.size() == 128 || b.size() == 256;
}

QStringList sorted(QStringList l)
{
    std::sort(l.begin(), l.end());
    return l;
}

// The HDMI 1.4 block's maximum TMDS clock is written at most 340 MHz (faster clocks are the
// HDMI Forum block's): what a rebuilt EDID should say.
EdidDecodeReport clampedHdmiClock(EdidDecodeReport r)
{
    static const QRegularExpression clock(QStringLiteral("^Maximum TMDS clock: (\\d+) MHz$"));
    for (QString& line : r.sections[QStringLiteral("vsdb")]) {
        const auto m = clock.match(line);
        if (m.hasMatch() && m.captured(1).toInt() > 340)
            line = QStringLiteral("Maximum TMDS clock: 340 MHz");
    }
    return r;
}

// The differences that matter between edid-decode's reports on the original and the result.
QStringList compare(const EdidDecodeReport& a, const EdidDecodeReport& b)
{
    QStringList d;
    for (const char* kind : {"est", "std", "dtd", "vic", "y420", "y420cap", "hdmivic"}) {
        const QString k = QLatin1String(kind);
        QStringList x = a.timings.value(k), y = b.timings.value(k);
        if (k == QLatin1String("est") || k == QLatin1String("std")) {
            x = sorted(x);
            y = sorted(y);
        }
        if (x != y)
            d << QStringLiteral("timings %1: %2 -> %3").arg(k, x.join(QLatin1String("; ")), y.join(QLatin1String("; ")));
    }
    for (const char* section : {"audio", "speaker", "vsdb", "hfvsdb", "colorimetry", "hdr"}) {
        const QString k = QLatin1String(section);
        if (a.sections.value(k) != b.sections.value(k))
            d << QStringLiteral("%1: %2 -> %3")
                     .arg(k, a.sections.value(k).join(QLatin1String("; ")), b.sections.value(k).join(QLatin1String("; ")));
    }
    if (sorted(a.sections.value(QStringLiteral("descriptors"))) != sorted(b.sections.value(QStringLiteral("descriptors"))))
        d << QStringLiteral("display descriptors: %1 -> %2")
                 .arg(a.sections.value(QStringLiteral("descriptors")).join(QLatin1String("; ")),
                      b.sections.value(QStringLiteral("descriptors")).join(QLatin1String("; ")));
    for (const QString& f : b.failures) {
        if (!a.failures.contains(f))
            d << QStringLiteral("new failure: ") + f;
    }
    return d;
}

struct RoundTrip
{
    int held = 0, keptPass = 0, keptIdentical = 0, rebuiltPass = 0, rebuiltIdentical = 0, exceptions = 0;
    QStringList skipped; // files edid-decode crashes on
    QStringList problems;
};

// Encodes the decoded state of an EDID both ways and compares edid-decode's reports. `before` is
// edid-decode's report on the original.
void roundTripOne(const QString& name, const QByteArray& original, const EdidState& state,
                  const EdidDecodeReport& before, RoundTrip* rt)
{
    // The size the file has is the size the user keeps.
    EdidState rebuiltState = state;
    rebuiltState.originState.reset();
    rebuiltState.originBytes.clear();
    rebuiltState.edidSize = original.size() == 256 ? EdidState::EdidSize::Blocks2 : EdidState::EdidSize::Blocks1;
    const QString exception = rebuildException(original);
    rt->exceptions += !exception.isEmpty();

    for (int way = 0; way < 2; ++way) {
        const EdidEncodeResult r = encodeEdid(way == 0 ? state : rebuiltState);
        const QString label = (way == 0 ? QStringLiteral("kept ") : QStringLiteral("rebuilt ")) + name;
        QStringList diffs;
        if (!r.ok()) {
            diffs << QStringLiteral("refused: ") + r.error;
        } else if (!checksumsValid(r.bytes)) {
            diffs << QStringLiteral("invalid checksums or size %1").arg(r.bytes.size());
        } else {
            if (r.bytes.size() != original.size())
                diffs << QStringLiteral("size %1 instead of %2").arg(r.bytes.size()).arg(original.size());
            const EdidDecodeReport after = runEdidDecode(r.bytes);
            if (after.crashed)
                diffs << QStringLiteral("edid-decode crashed on the result");
            else
                diffs << compare(way == 0 ? before : clampedHdmiClock(before), after);
        }
        if (qEnvironmentVariable("PLEXA_ROUNDTRIP_DUMP") == name)
            qInfo("%s\n  read:    %s\n  written: %s", qPrintable(label), original.toHex(' ').constData(),
                  r.bytes.toHex(' ').constData());
        const bool identical = r.bytes.left(127) == original.left(127)
            && (original.size() == 128 || r.bytes.mid(128, 127) == original.mid(128, 127));
        if (diffs.isEmpty()) {
            ++(way == 0 ? rt->keptPass : rt->rebuiltPass);
            (way == 0 ? rt->keptIdentical : rt->rebuiltIdentical) += identical;
            if (way == 0 && !identical)
                qInfo("kept, not byte-identical: %s", qPrintable(name));
        } else if (way == 0 || exception.isEmpty()) {
            rt->problems << label + QLatin1String(":\n    ") + diffs.join(QLatin1String("\n    "));
        }
    }
}

void roundTripCorpus(const EdidCorpus& corpus, RoundTrip* rt)
{
    for (const QString& name : corpus.files) {
        QFile file(corpus.dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray original = file.readAll();
        if (original.size() != 128 && original.size() != 256)
            continue;
        EdidState state;
        QString error;
        decodeEdid(original, corpus.context, &state, &error);
        QVERIFY2(error.isEmpty(), qPrintable(name + QLatin1String(": ") + error));
        const EdidDecodeReport before = runEdidDecode(original);
        if (before.crashed) {
            qInfo("edid-decode crashed on %s: skipped", qPrintable(name));
            rt->skipped << name;
            continue;
        }
        QVERIFY2(before.ran, qPrintable(name));
        ++rt->held;
        roundTripOne(name, original, state, before, rt);
    }
}

void report(const RoundTrip& rt)
{
    const int held = qMax(1, rt.held);
    qInfo("Round trip of %d EDIDs (%d skipped):", rt.held, int(rt.skipped.size()));
    qInfo("  kept:    %d pass (%.1f %%), %d byte-identical (%.1f %%)", rt.keptPass, 100.0 * rt.keptPass / held,
          rt.keptIdentical, 100.0 * rt.keptIdentical / held);
    qInfo("  rebuilt: %d pass (%.1f %%), %d byte-identical (%.1f %%), %d exceptions (extension not CTA-861)",
          rt.rebuiltPass, 100.0 * rt.rebuiltPass / held, rt.rebuiltIdentical, 100.0 * rt.rebuiltIdentical / held,
          rt.exceptions);
    for (const QString& p : rt.problems.mid(0, qEnvironmentVariableIsSet("PLEXA_ROUNDTRIP_ALL") ? 1000 : 40))
        qWarning("%s", qPrintable(p));
}

} // namespace

class TestEdidRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void corpusRoundTrip();
    void exceptionsFollowTheExtension();
    void smallEdidsRebuilt_data();
    void smallEdidsRebuilt();
};

void TestEdidRoundTrip::corpusRoundTrip()
{
    const EdidCorpus corpus;
    QVERIFY(corpus.timingsLoaded);
    QVERIFY(corpus.audioLoaded);
    QVERIFY2(corpus.files.size() >= corpus.minimumFiles(250), qPrintable(corpus.dir.path()));
    RoundTrip rt;
    roundTripCorpus(corpus, &rt);
    if (QTest::currentTestFailed())
        return;
    report(rt);
    QVERIFY2(rt.problems.isEmpty(), qPrintable(QStringLiteral("%1 EDIDs regress").arg(rt.problems.size())));
}

void TestEdidRoundTrip::exceptionsFollowTheExtension()
{
    // A DisplayID extension under a name of the environment's choosing is still the exception.
    QTemporaryDir dir;
    QVERIFY(QFile::copy(PlexaTest::edidCorpusDir() + QStringLiteral("/Digital_Apple_APPA044_4376D448FD4B.bin"),
                        dir.filePath(QStringLiteral("renamed.bin"))));
    qputenv("PLEXA_EDID_CORPUS", dir.path().toLocal8Bit());
    const EdidCorpus corpus;
    qunsetenv("PLEXA_EDID_CORPUS");
    QCOMPARE(corpus.files, QStringList{QStringLiteral("renamed.bin")});
    RoundTrip rt;
    roundTripCorpus(corpus, &rt);
    if (QTest::currentTestFailed())
        return;
    report(rt);
    QCOMPARE(rt.held, 1);
    QCOMPARE(rt.exceptions, 1);
    QCOMPARE(rt.keptPass, 1);
    QVERIFY2(rt.problems.isEmpty(), qPrintable(rt.problems.join(QLatin1Char('\n'))));
}

void TestEdidRoundTrip::smallEdidsRebuilt_data()
{
    QTest::addColumn<QByteArray>("edid");
    // A serial number descriptor ("VLM001"), then 2560x1080 at 75 Hz: 226.64 MHz, blanking
    // 160/31, 673 x 284 mm.
    const QByteArray serial = QByteArray::fromHex("000000ff00564c4d3030310a202020202020");
    const QByteArray dtd2560 = QByteArray::fromHex("885800a0a0381f4030203a00a11c2100001a");
    QTest::newRow("DTS-HD descriptors differing in byte 3")
        << EdidBuilder().cea(0x40).dataBlock(2, {0x10}).dataBlock(1, {0x5F, 0x07, 0x07, 0x5F, 0x07, 0x01}).build();
    QTest::newRow("override block first")
        << EdidBuilder().cea().extendedBlock(0x78, {0x01}).dataBlock(2, {0x10}).build();
    // The base block has its preferred timing (1920x1080 at 60 Hz) as usual.
    const QByteArray dtd1080 = QByteArray::fromHex("023a801871382d40582c4500c48e2100001e");
    QTest::newRow("DTD after a serial number descriptor")
        << EdidBuilder().set(54, dtd1080).cea().dataBlock(2, {0x10}).set(128 + 6, serial).set(128 + 24, dtd2560).build();
    QTest::newRow("reserved standard timing code") << EdidBuilder().set(38, {0x00, 0x40, 0x01, 0x00}).build();

    // HDMI EDIDs: 1920x1080 at 60 Hz preferred, an HDMI block and the blocks each row shows.
    const auto hdmi = [&dtd1080]() { return EdidBuilder().set(20, {0xA2}).set(54, dtd1080).cea(0x70); };
    const QByteArray hfVsdb600 = QByteArray::fromHex("d85dc40178880000");
    QTest::newRow("4K VICs at 594 MHz")
        << hdmi()
               .dataBlock(2, {0x90, 93, 94, 95, 96, 97, 102})
               .dataBlock(3, {0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x44})
               .dataBlock(3, hfVsdb600)
               .build();
    QTest::newRow("4:2:0 capability map over reordered SVDs")
        << hdmi()
               .dataBlock(2, {0x90, 4, 97, 31, 96, 102, 19})
               .dataBlock(3, {0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x44})
               .dataBlock(3, hfVsdb600)
               .extendedBlock(0x0F, {0x2A})
               .build();
    QTest::newRow("VIC in both the video and the 4:2:0 video block")
        << hdmi()
               .dataBlock(2, {0x90, 4, 97, 96})
               .dataBlock(3, {0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x44})
               .dataBlock(3, hfVsdb600)
               .extendedBlock(0x0E, {97, 96})
               .build();
    // 3D present with the structures of all VICs, HDMI VIC 1, and 3D VIC entries: frame packing
    // of SVD 1, top-and-bottom of SVD 6 (past the four SVDs), side-by-side (half) of SVD 0.
    QTest::newRow("HDMI 3D VIC indices")
        << hdmi()
               .dataBlock(2, {0x90, 4, 31, 19})
               .dataBlock(3, {0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x44, 0x20, 0xA0, 0x26, 0x01, 0x00, 0x01, 0x10,
                              0x66, 0x08, 0x10})
               .build();
    QTest::newRow("HDMI 3D mask and VIC indices")
        << hdmi()
               .dataBlock(2, {0x90, 4, 31, 19, 32})
               .dataBlock(3, {0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x44, 0x20, 0xC0, 0x07, 0x00, 0x41, 0x00, 0x05, 0x20,
                              0x76, 0x08, 0x10})
               .build();
    // VIC 250 is reserved: the 3D entries of SVDs 1 and 2 are not those of the first VIC slots.
    QTest::newRow("HDMI 3D indices after a reserved VIC")
        << hdmi()
               .dataBlock(2, {250, 0x90, 4, 31})
               .dataBlock(3, {0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x44, 0x20, 0x80, 0x03, 0x10, 0x26, 0x30})
               .build();
    QTest::newRow("VIC listed twice, marked once in the 4:2:0 capability map")
        << hdmi()
               .dataBlock(2, {0x90, 97, 4, 97})
               .dataBlock(3, {0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x44})
               .dataBlock(3, hfVsdb600)
               .extendedBlock(0x0F, {0x02})
               .build();
    QTest::newRow("4:2:0 video data block before the video data block")
        << hdmi()
               .extendedBlock(0x0E, {97})
               .dataBlock(2, {0x90, 4, 97})
               .dataBlock(3, {0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x44})
               .dataBlock(3, hfVsdb600)
               .build();
    // E-EDID 1.2: the standard timing 95 3C is 1440x1440 at 120 Hz to a reader of that version
    // (its aspect code 0 is 1:1), beyond limits of 30-100 kHz and 200 MHz.
    QTest::newRow("1:1 standard timing of an E-EDID 1.2")
        << EdidBuilder()
               .set(19, {0x02})
               .set(20, {0x80})
               .set(38, {0x95, 0x3C})
               .set(54, dtd1080)
               .displayDescriptor(1, 0xFD, QByteArray::fromHex("327d1e6414000a202020202020"))
               .build();
    QTest::newRow("HDMI 3D present alone")
        << hdmi().dataBlock(2, {0x90, 4, 31}).dataBlock(3, {0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x44, 0x20, 0x80, 0x00}).build();
}

void TestEdidRoundTrip::smallEdidsRebuilt()
{
    QFETCH(QByteArray, edid);
    const CatalogueContext catalogues;
    EdidState state;
    QString error;
    decodeEdid(edid, catalogues.context, &state, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const EdidDecodeReport before = runEdidDecode(edid);
    QVERIFY(before.ran);
    RoundTrip rt;
    roundTripOne(QString::fromLatin1(QTest::currentDataTag()), edid, state, before, &rt);
    QVERIFY2(rt.problems.isEmpty(), qPrintable(rt.problems.join(QLatin1Char('\n'))));
    QCOMPARE(rt.rebuiltPass, 1);
}

PLEXA_TEST_MAIN(TestEdidRoundTrip)
#include "tst_edid_roundtrip.moc"
