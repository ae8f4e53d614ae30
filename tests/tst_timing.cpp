// The timing and audio records, their merge and ordering rules, and the two table models.

#include "plexatest.h"

#include "audioformat.h"
#include "audioformatmodel.h"
#include "constants.h"
#include "edidrules.h"
#include "timingmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

namespace {

Timing makeTiming(const QString& type, int hActive, int vActive, int rate, int vic = 0)
{
    Timing t;
    t.type = type;
    t.vic = vic;
    t.hActive = hActive;
    t.vActive = vActive;
    t.fieldRate = rate;
    t.hTotal = hActive + 280;
    t.hBlank = 280;
    t.hFront = 88;
    t.hSync = 44;
    t.hBack = 148;
    t.hPol = true;
    t.vTotal = vActive + 45;
    t.vBlank = 45;
    t.vFront = 4;
    t.vSync = 5;
    t.vBack = 36;
    t.vPol = true;
    t.pixelFreq = 148.5;
    t.hFreq = 67.5;
    return t;
}

AudioFormat makeFormat(int type, int channels, QList<double> rates)
{
    AudioFormat f;
    f.type = type;
    f.channels = channels;
    f.samplingFreqs = rates;
    return f;
}

} // namespace

class TestTiming : public QObject
{
    Q_OBJECT

private slots:
    void sameTiming_data();
    void sameTiming();
    void addTimingMergesAndKeepsDetailedTimingsOnTop();
    void addTimingDetailedDuplicateAtDtdCountStaysAndCounts();
    void addTimingNativeBit_data();
    void addTimingNativeBit();
    void displayAndCheckStates();
    void chromaCheckBoxesNeverDropTheLastFormat_data();
    void chromaCheckBoxesNeverDropTheLastFormat();
    void editModeFlags();
    void timingModelPassesModelTester();
    void updateTotalsAndRates();

    void audioFormatsEqual_data();
    void audioFormatsEqual();
    void audioTextHelpers();
    void audioModelRowsAndDisplay();
    void audioModelPassesModelTester();
};

void TestTiming::sameTiming_data()
{
    QTest::addColumn<Timing>("a");
    QTest::addColumn<Timing>("b");
    QTest::addColumn<bool>("same");

    const Timing vesa = makeTiming(TIMING_TYPE_VESA, 1920, 1080, 60);
    Timing custom = vesa;
    custom.type = TIMING_TYPE_CUSTOM;
    custom.name = QStringLiteral("Mine");
    QTest::newRow("kind and name do not count") << vesa << custom << true;

    Timing cea1 = makeTiming(TIMING_TYPE_CEA, 1920, 1080, 60, 16);
    Timing cea2 = cea1;
    cea2.hSize = 708;
    cea2.vSize = 398;
    cea2.hTotal = 1;
    QTest::newRow("CEA with the same VIC") << cea1 << cea2 << true;
    cea2.vic = 31;
    QTest::newRow("CEA with another VIC and other geometry") << cea1 << cea2 << false;

    Timing border = vesa;
    border.vBorder = 8;
    QTest::newRow("vBorder does not count") << vesa << border << true;
    border = vesa;
    border.hBorder = 8;
    QTest::newRow("hBorder counts") << vesa << border << false;

    Timing clock = vesa;
    clock.pixelFreq += 1e-9;
    QTest::newRow("pixel clocks must be equal") << vesa << clock << false;
    Timing aspect = vesa;
    aspect.hAspect = 16;
    aspect.vAspect = 9;
    QTest::newRow("aspect counts") << vesa << aspect << false;
    Timing pol = vesa;
    pol.vPol = false;
    QTest::newRow("polarity counts") << vesa << pol << false;
}

void TestTiming::sameTiming()
{
    QFETCH(Timing, a);
    QFETCH(Timing, b);
    QFETCH(bool, same);
    QCOMPARE(TimingModel::sameTiming(a, b), same);
    QCOMPARE(TimingModel::sameTiming(b, a), same);
}

void TestTiming::addTimingMergesAndKeepsDetailedTimingsOnTop()
{
    TimingModel model;
    Timing established = makeTiming(TIMING_TYPE_VESA, 640, 480, 60);
    established.established = true;
    Timing vic16 = makeTiming(TIMING_TYPE_CEA, 1920, 1080, 60, 16);
    vic16.videoBlock = true;
    vic16.native = true;
    vic16.name = QStringLiteral("VIC 16");
    model.addTiming(established);
    model.addTiming(vic16);

    // The same timing arrives as a detailed timing: it moves to the top and takes the sizes.
    Timing dtd = makeTiming(TIMING_TYPE_CEA, 1920, 1080, 60, 16);
    dtd.dtd = true;
    dtd.name = QStringLiteral("other");
    dtd.hSize = 708;
    dtd.vSize = 398;
    model.addTiming(dtd);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.getDtdCount(), 1);
    Timing top = model.getTiming(0);
    QCOMPARE(top.name, QStringLiteral("VIC 16"));
    QVERIFY(top.dtd && top.videoBlock && top.native);
    QCOMPARE(top.hSize, 708);

    // A second new detailed timing lands after the first, before the others.
    Timing dtd2 = makeTiming(TIMING_TYPE_CUSTOM, 1280, 720, 60);
    dtd2.dtd = true;
    model.addTiming(dtd2);
    QCOMPARE(model.getTiming(1).hActive, 1280);
    QCOMPARE(model.getTiming(2).hActive, 640);

    // The same VIC listed again without the native bit keeps the row native (addTimingNativeBit);
    // its chroma formats are taken over.
    Timing notNative = makeTiming(TIMING_TYPE_CEA, 1920, 1080, 60, 16);
    notNative.videoBlock = true;
    notNative.subsampling = 2;
    model.addTiming(notNative);
    QVERIFY(model.getTiming(0).native);
    QCOMPARE(model.getTiming(0).subsampling, 2);

    // The HDMI block adds its HDMI VIC to the row it repeats.
    Timing hdmi = established;
    hdmi.established = false;
    hdmi.hdmiBlock = true;
    hdmi.hdmiVic = 3;
    model.addTiming(hdmi);
    QCOMPARE(model.rowCount(), 3);
    QVERIFY(model.getTiming(2).hdmiBlock && model.getTiming(2).established);
    QCOMPARE(model.getTiming(2).hdmiVic, 3);
}

void TestTiming::addTimingDetailedDuplicateAtDtdCountStaysAndCounts()
{
    TimingModel model;
    Timing a = makeTiming(TIMING_TYPE_VESA, 800, 600, 60);
    a.standard = true;
    model.addTiming(a);
    Timing again = a;
    again.standard = false;
    again.dtd = true;
    model.addTiming(again);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.getDtdCount(), 1);

    Timing next = makeTiming(TIMING_TYPE_CUSTOM, 1024, 768, 60);
    next.dtd = true;
    model.addTiming(next);
    QCOMPARE(model.getTiming(0).hActive, 800);
    QCOMPARE(model.getTiming(1).hActive, 1024);

    model.clear();
    QCOMPARE(model.getDtdCount(), 0);
}

// The table model and the decoder merge with one rule. Where the two used to differ: a video
// block entry without the native bit clears the bit of a row that came from elsewhere (a detailed
// timing), but not the bit another entry of the same VIC gave it, so a rebuilt video block keeps
// the monitor's native format (a duplicated native VIC 16 is common in real EDIDs).
void TestTiming::addTimingNativeBit_data()
{
    QTest::addColumn<QList<Timing>>("sequence");
    QTest::addColumn<bool>("native");

    Timing svd = makeTiming(TIMING_TYPE_CEA, 1920, 1080, 60, 16);
    svd.videoBlock = true;
    Timing nativeSvd = svd;
    nativeSvd.native = true;
    Timing y420 = svd; // the 4:2:0 video data block lists it without the bit
    y420.subsampling = 1;
    Timing dtd = makeTiming(TIMING_TYPE_CUSTOM, 1920, 1080, 60);
    dtd.dtd = true;
    dtd.native = true; // as a row the user marked
    Timing otherVic = nativeSvd;
    otherVic.type = TIMING_TYPE_VESA; // same geometry, so the same row, but not one of the VIC's SVDs
    otherVic.vic = 0;
    otherVic.videoBlock = false;

    QTest::newRow("native SVD then plain SVD") << QList<Timing>{nativeSvd, svd} << true;
    QTest::newRow("native SVD then 4:2:0 entry") << QList<Timing>{nativeSvd, y420} << true;
    QTest::newRow("plain SVD then native SVD") << QList<Timing>{svd, nativeSvd} << true;
    QTest::newRow("detailed timing then plain SVD") << QList<Timing>{dtd, svd} << false;
    QTest::newRow("detailed timing then native SVD") << QList<Timing>{dtd, nativeSvd} << true;
    QTest::newRow("plain SVD alone") << QList<Timing>{svd} << false;
    QTest::newRow("native row then plain SVD") << QList<Timing>{otherVic, svd} << false;
}

void TestTiming::addTimingNativeBit()
{
    QFETCH(QList<Timing>, sequence);
    QFETCH(bool, native);
    TimingModel model;
    QList<Timing> rows;
    int dtdCount = 0;
    for (const Timing& t : sequence) {
        model.addTiming(t);
        EdidRules::addTiming(&rows, &dtdCount, t);
    }
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().native, native);
    QCOMPARE(model.rowCount(), rows.size());
    QCOMPARE(model.getDtdCount(), dtdCount);
    for (int row = 0; row < rows.size(); ++row) {
        const Timing t = model.getTiming(row);
        QCOMPARE(t.native, rows.at(row).native);
        QCOMPARE(t.vic, rows.at(row).vic);
        QCOMPARE(t.subsampling, rows.at(row).subsampling);
        QCOMPARE(t.dtd, rows.at(row).dtd);
        QCOMPARE(t.videoBlock, rows.at(row).videoBlock);
    }
}

void TestTiming::displayAndCheckStates()
{
    TimingModel model;
    QCOMPARE(model.columnCount(), 32);
    QCOMPARE(model.headerData(TimingModel::NativeColumn, Qt::Horizontal).toString(), QStringLiteral("Native"));
    QCOMPARE(model.headerData(TimingModel::Ycbcr420Column, Qt::Horizontal).toString(), QStringLiteral("4:2:0"));
    QVERIFY(!model.headerData(32, Qt::Horizontal).isValid());
    QCOMPARE(model.headerData(4, Qt::Vertical).toString(), QStringLiteral("5"));
    QVERIFY(!model.data(model.index(0, 0)).isValid());

    Timing interlaced = makeTiming(TIMING_TYPE_CUSTOM, 1920, 540, 60);
    interlaced.ip = true;
    interlaced.hPol = false;
    Timing aspect = makeTiming(TIMING_TYPE_CEA, 1920, 1080, 60, 16);
    aspect.hAspect = 16;
    aspect.vAspect = 9;
    aspect.name = QStringLiteral("VIC 16");
    aspect.subsampling = 1;
    model.insertTiming(0, interlaced);
    model.insertTiming(1, aspect);

    const auto text = [&](int row, int column) { return model.data(model.index(row, column)); };
    QCOMPARE(text(0, TimingModel::ResolutionColumn).toString(), QStringLiteral("1920x1080i"));
    QCOMPARE(text(1, TimingModel::ResolutionColumn).toString(), QStringLiteral("1920x1080p(16:9)"));
    QCOMPARE(text(0, TimingModel::VicColumn).toString(), QStringLiteral("N/A"));
    QCOMPARE(text(1, TimingModel::VicColumn).type(), QVariant::Int);
    QCOMPARE(text(0, TimingModel::NameColumn).toString(), QStringLiteral("N/A"));
    QCOMPARE(text(0, TimingModel::HPolarityColumn).toString(), QStringLiteral("Negative"));
    QCOMPARE(text(0, TimingModel::VPolarityColumn).toString(), QStringLiteral("Positive"));
    QCOMPARE(text(0, TimingModel::PixelClockColumn).type(), QVariant::Double);
    QCOMPARE(model.data(model.index(1, TimingModel::Ycbcr444Column), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(model.data(model.index(1, TimingModel::Ycbcr420Column), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QVERIFY(!model.data(model.index(1, TimingModel::TypeColumn), Qt::CheckStateRole).isValid());
    QVERIFY(model.data(model.index(0, 5), Qt::BackgroundRole).isValid());
    QVERIFY(!model.data(model.index(1, 5), Qt::BackgroundRole).isValid());
    QVERIFY(!model.isChecked(5, 0));

    // The encoders set the place flags through setCheckState.
    model.setCheckState(1, TimingModel::StandardColumn, Qt::Checked);
    QVERIFY(model.getTiming(1).standard);
    QVERIFY(model.isChecked(1, TimingModel::StandardColumn));

    model.moveTiming(0, 1);
    QCOMPARE(model.getTiming(0).vic, 16);
    QCOMPARE(model.getTiming(1).hActive, 1920);
    QVERIFY(model.getTiming(1).ip);
}

void TestTiming::chromaCheckBoxesNeverDropTheLastFormat_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("after");

    QTest::newRow("uncheck 4:4:4 of both") << 2 << int(TimingModel::Ycbcr444Column) << 0 << 1;
    QTest::newRow("uncheck the only 4:4:4") << 0 << int(TimingModel::Ycbcr444Column) << 0 << 0;
    QTest::newRow("check 4:4:4 on 4:2:0 only") << 1 << int(TimingModel::Ycbcr444Column) << 2 << 2;
    QTest::newRow("uncheck 4:2:0 of both") << 2 << int(TimingModel::Ycbcr420Column) << 0 << 0;
    QTest::newRow("uncheck the only 4:2:0") << 1 << int(TimingModel::Ycbcr420Column) << 0 << 1;
    QTest::newRow("check 4:2:0 on 4:4:4 only") << 0 << int(TimingModel::Ycbcr420Column) << 2 << 2;
}

void TestTiming::chromaCheckBoxesNeverDropTheLastFormat()
{
    QFETCH(int, before);
    QFETCH(int, column);
    QFETCH(int, state);
    QFETCH(int, after);

    TimingModel model;
    Timing t = makeTiming(TIMING_TYPE_CEA, 3840, 2160, 60, 97);
    t.subsampling = before;
    model.insertTiming(0, t);
    QSignalSpy native(&model, &TimingModel::nativeChanged);
    QSignalSpy promotion(&model, &TimingModel::tmdsPromotion);

    QVERIFY(model.setData(model.index(0, column), state, Qt::CheckStateRole));
    QCOMPARE(model.getTiming(0).subsampling, after);
    QCOMPARE(native.count(), 1);
    QCOMPARE(promotion.count(), after != before ? 1 : 0);
}

void TestTiming::editModeFlags()
{
    TimingModel model;
    model.insertTiming(0, makeTiming(TIMING_TYPE_CEA, 1920, 1080, 60, 16));
    model.insertTiming(1, makeTiming(TIMING_TYPE_CEA, 3840, 2160, 60, 97));

    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsUserCheckable));
    QVERIFY(model.flags(model.index(0, TimingModel::Ycbcr444Column)) & Qt::ItemIsEnabled);

    model.setEditMode(1);
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsUserCheckable);
    QCOMPARE(model.flags(model.index(0, TimingModel::Ycbcr420Column)), Qt::NoItemFlags);
    QVERIFY(model.flags(model.index(1, TimingModel::Ycbcr420Column)) & Qt::ItemIsUserCheckable);
    QVERIFY(!(model.flags(model.index(1, TimingModel::DtdColumn)) & Qt::ItemIsUserCheckable));

    QSignalSpy native(&model, &TimingModel::nativeChanged);
    model.setData(model.index(1, 0), Qt::Checked, Qt::CheckStateRole);
    QVERIFY(model.getTiming(1).native);
    QCOMPARE(native.count(), 1);
}

void TestTiming::timingModelPassesModelTester()
{
    TimingModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 4; ++i) {
        Timing t = makeTiming(TIMING_TYPE_VESA, 640 + 160 * i, 480, 60);
        t.dtd = i % 2;
        model.addTiming(t);
    }
    model.moveTiming(3, 0);
    model.removeRows(1, 2);
    model.removeRows(1, 10); // past the end: only what exists goes
    QCOMPARE(model.rowCount(), 1);
    QVERIFY(model.removeRows(5, 1));
    QVERIFY(model.removeRows(0, 0));
    model.clear();
    QCOMPARE(model.rowCount(), 0);
}

void TestTiming::updateTotalsAndRates()
{
    Timing t = makeTiming(TIMING_TYPE_CUSTOM, 1920, 540, 0);
    t.ip = true;
    t.vBlank = 22;
    t.pixelFreq = 74.25;
    t.updateTotalsAndRates();
    QCOMPARE(t.hTotal, 2200);
    QCOMPARE(t.vTotal, 1125);
    QCOMPARE(t.hFreq, 33.75);
    QCOMPARE(t.fieldRate, 60);

    Timing empty;
    empty.updateTotalsAndRates();
    QCOMPARE(empty.fieldRate, 0);
    QCOMPARE(empty.hFreq, 0.0);
    QCOMPARE(roundRate(std::nan("")), 0);
}

void TestTiming::audioFormatsEqual_data()
{
    QTest::addColumn<AudioFormat>("a");
    QTest::addColumn<AudioFormat>("b");
    QTest::addColumn<bool>("fits");

    const AudioFormat fewer = makeFormat(9, 2, {44.1, 48});
    const AudioFormat more = makeFormat(9, 2, {32, 44.1, 48});
    QTest::newRow("rates offered by b") << fewer << more << true;
    QTest::newRow("rates missing in b") << more << fewer << false;
    AudioFormat named = fewer;
    named.name = QStringLiteral("Other");
    QTest::newRow("names do not count") << fewer << named << true;
    QTest::newRow("channels differ") << fewer << makeFormat(9, 6, {44.1, 48}) << false;

    AudioFormat pcm = makeFormat(1, 2, {48});
    pcm.bitDepths = {16, 24};
    AudioFormat pcmAll = pcm;
    pcmAll.bitDepths = {16, 20, 24};
    QTest::newRow("bit depths offered") << pcm << pcmAll << true;
    QTest::newRow("bit depth missing") << pcmAll << pcm << false;

    AudioFormat ac3 = makeFormat(2, 6, {48});
    ac3.maxBitRate = 640;
    AudioFormat ac3Slow = ac3;
    ac3Slow.maxBitRate = 448;
    QTest::newRow("bit rates differ") << ac3 << ac3Slow << false;

    AudioFormat mps = makeFormat(19, 2, {48});
    mps.audioFrameLength = {1024};
    AudioFormat mpsExplicit = mps;
    mpsExplicit.audioFrameLength = {960, 1024};
    mpsExplicit.mpegSurroundExplicit = true;
    QTest::newRow("MPEG Surround differs") << mps << mpsExplicit << false;
    mps.mpegSurroundExplicit = true;
    QTest::newRow("frame lengths offered") << mps << mpsExplicit << true;
}

void TestTiming::audioFormatsEqual()
{
    QFETCH(AudioFormat, a);
    QFETCH(AudioFormat, b);
    QFETCH(bool, fits);
    QCOMPARE(::audioFormatsEqual(a, b), fits);
}

void TestTiming::audioTextHelpers()
{
    QCOMPARE(audioFormatName(0), QString());
    QCOMPARE(audioFormatName(21), QString());
    QCOMPARE(audioFormatName(20), QStringLiteral("MPEG-4 AAC LC + MPS"));
    QCOMPARE(audioFormatCode(QStringLiteral("DTS-HD")), 11);
    QCOMPARE(audioFormatCode(QStringLiteral("dts-hd")), 0);
    QCOMPARE(doubleListToString({32, 44.1, 48, 176.4}), QStringLiteral("32,44.1,48,176.4"));
    QCOMPARE(doubleListToString({}), QString());
    QCOMPARE(intListToString({16, 20, 24}), QStringLiteral("16,20,24"));
}

void TestTiming::audioModelRowsAndDisplay()
{
    AudioFormatModel model;
    AudioFormat pcm = makeFormat(1, 2, {});
    pcm.name = QStringLiteral("PCM");
    AudioFormat atrac = makeFormat(8, 6, {48});
    atrac.maxBitRate = 320;
    atrac.mpegSurroundExplicit = true;
    model.appendFormat(pcm);
    model.appendFormat(atrac);
    model.appendFormat(pcm); // equal row: nothing added
    QCOMPARE(model.rowCount(), 2);
    AudioFormat renamed = pcm;
    renamed.name = QStringLiteral("PCM 2");
    QCOMPARE(model.indexOf(renamed), -1);

    const auto text = [&](int row, int column) { return model.data(model.index(row, column)); };
    QCOMPARE(text(0, AudioFormatModel::CodingColumn).toString(), QStringLiteral("Linear PCM"));
    QCOMPARE(text(0, AudioFormatModel::SamplingFreqsColumn).toString(), QStringLiteral("None"));
    QCOMPARE(text(0, AudioFormatModel::MaxBitRateColumn).toString(), QStringLiteral("N/A"));
    QCOMPARE(text(1, AudioFormatModel::MaxBitRateColumn).toInt(), 320);
    QCOMPARE(text(1, AudioFormatModel::MpegSurroundColumn).toString(), QStringLiteral("Explicit/Implicit"));
    QCOMPARE(text(0, AudioFormatModel::MpegSurroundColumn).toString(), QStringLiteral("Implicit"));
    QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("Sampling Frequencies"));
    QVERIFY(!model.data(model.index(0, 0), Qt::EditRole).isValid());
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));

    model.moveFormat(1, 0);
    QCOMPARE(model.formatAt(0).type, 8);
    model.insertFormat(1, atrac); // no duplicate test when a row is put back
    QCOMPARE(model.rowCount(), 3);
}

void TestTiming::audioModelPassesModelTester()
{
    AudioFormatModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int code = 1; code <= 5; ++code)
        model.appendFormat(makeFormat(code, 2, {48}));
    model.moveFormat(0, 4);
    model.removeRows(3, 10);
    QCOMPARE(model.rowCount(), 3);
    model.clear();
    QCOMPARE(model.rowCount(), 0);
}

PLEXA_TEST_MAIN(TestTiming)
#include "tst_timing.moc"
