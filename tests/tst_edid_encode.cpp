// The EDID encoder on states built by hand: the bytes it writes for the editor's choices, the
// faults it mends (pixel clock rounding, range limits, version bits, latencies, HDMI Forum
// rules, the 4:2:0 map, data blocks that do not fit, clamped fields), the checksum property over
// generated states, decode(encode(state)) giving the state back, keeping what was read, and the
// ".bin" files.

#include "edidbuilder.h"
#include "ediddecoder.h"
#include "edidencoder.h"
#include "edidfile.h"
#include "edidrules.h"
#include "plexatest.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

namespace {

int at(const QByteArray& b, int i)
{
    return i < b.size() ? int(quint8(b.at(i))) : -1;
}

bool blocksSumToZero(const QByteArray& b)
{
    if (b.size() != 128 && b.size() != 256)
        return false;
    for (int block = 0; block < b.size() / 128; ++block) {
        int sum = 0;
        for (int k = 0; k < 128; ++k)
            sum += quint8(b.at(128 * block + k));
        if (sum % 256)
            return false;
    }
    return true;
}

Timing cea1080p60()
{
    Timing t;
    t.type = QStringLiteral("CEA");
    t.name = QStringLiteral("1920x1080p60");
    t.vic = 16;
    t.hActive = 1920;
    t.vActive = 1080;
    t.hAspect = 16;
    t.vAspect = 9;
    t.hBlank = 280;
    t.hFront = 88;
    t.hSync = 44;
    t.hBack = 148;
    t.vBlank = 45;
    t.vFront = 4;
    t.vSync = 5;
    t.vBack = 36;
    t.hPol = t.vPol = true;
    t.pixelFreq = 148.5;
    t.updateTotalsAndRates();
    return t;
}

Timing custom(int w, int h, double mhz, int hBlank = 160, int vBlank = 30)
{
    Timing t;
    t.type = QStringLiteral("Custom");
    t.hActive = w;
    t.vActive = h;
    t.hBlank = hBlank;
    t.hFront = 48;
    t.hSync = 32;
    t.hBack = hBlank - 80;
    t.vBlank = vBlank;
    t.vFront = 3;
    t.vSync = 5;
    t.vBack = vBlank - 8;
    t.pixelFreq = mhz;
    t.updateTotalsAndRates();
    return t;
}

EdidState hdmiState()
{
    EdidState s = newEdidState();
    s.signalType = EdidState::SignalType::Digital;
    s.digitalInterface = EdidState::DigitalInterface::Hdmi;
    s.rgb444 = true;
    s.edidSize = EdidState::EdidSize::Blocks2;
    s.monitorName = QStringLiteral("Velmo");
    return s;
}

// The data block with the given header tag (and extended tag code, for tag 7), or empty.
QByteArray dataBlock(const QByteArray& b, int tag, int code = -1)
{
    const int end = 128 + at(b, 130);
    for (int p = 132; p < end;) {
        const int len = at(b, p) & 0x1F;
        if (at(b, p) >> 5 == tag && (code < 0 || at(b, p + 1) == code))
            return b.mid(p, len + 1);
        p += len + 1;
    }
    return QByteArray();
}

EdidBuilder withDtd1080()
{
    return EdidBuilder().set(54, QByteArray::fromHex("023a801871382d40582c4500c48e2100001e"));
}

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b += char(v);
    return b;
}

} // namespace

class TestEdidEncode : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void baseBlock_data();
    void baseBlock();
    void chromaticityCodes_data();
    void chromaticityCodes();
    void timingPlacement();
    void standardCodes_data();
    void standardCodes();
    void pixelClockRoundsToNearest();
    void rangeLimitsTakeInEveryTiming();
    void audioAndSpeakers();
    void hdmiBlocks();
    void threeDEntriesFollowTheirVics();
    void latencies_data();
    void latencies();
    void hdrBlock();
    void yuv420MapIndexesTheVideoBlock();
    void oversizedDataBlocksAreRefused();
    void checksumsOverGeneratedStates();
    void decodeGivesTheStateBack();
    void editsKeepWhatTheyDoNotTouch();
    void rebuiltShowsTheSame_data();
    void rebuiltShowsTheSame();
    void files();

private:
    TimingCatalogue m_timings;
    AudioCatalogue m_audio;
    EdidDecodeContext m_context;
};

void TestEdidEncode::initTestCase()
{
    QVERIFY(loadTimingCatalogue(QStringLiteral(":/catalogues/timings.xml"), &m_timings));
    QVERIFY(loadAudioCatalogue(QStringLiteral(":/catalogues/audio.xml"), &m_audio));
    m_context.timings = &m_timings;
    m_context.audio = &m_audio;
}

void TestEdidEncode::baseBlock_data()
{
    QTest::addColumn<int>("interface"); // 0 analog, 1 DVI, 2 HDMI, 3 DisplayPort
    QTest::addColumn<int>("revision");  // as read (0: a new EDID)
    QTest::addColumn<QString>("size");
    QTest::addColumn<int>("aspect");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("expected"); // bytes 18-22
    QTest::addColumn<int>("nameSlot");          // first byte of the name descriptor, -1: none

    QTest::newRow("DisplayPort is 1.4 with its bits") << 3 << 0 << "" << 0 << "" << bytes({1, 4, 0x85, 0, 0}) << -1;
    QTest::newRow("HDMI new is 1.3, no interface bits") << 2 << 0 << "27" << 0 << "Velmo"
                                                        << bytes({1, 3, 0x80, 0x3C, 0x22}) << 72;
    QTest::newRow("HDMI read as 1.4 keeps its bits") << 2 << 4 << "" << 0 << "" << bytes({1, 4, 0xA2, 0, 0}) << -1;
    QTest::newRow("DVI 1.3") << 1 << 3 << "" << 0 << "" << bytes({1, 3, 0x80, 0, 0}) << -1;
    QTest::newRow("analog 1.3") << 0 << 0 << "" << 1 << "" << bytes({1, 3, 0x00, 0, 0}) << -1;
    QTest::newRow("size clamped to its byte") << 2 << 0 << "200" << 0 << "" << bytes({1, 3, 0x80, 255, 249}) << -1;
    QTest::newRow("4:3 size") << 2 << 0 << "19" << 1 << "" << bytes({1, 3, 0x80, 39, 29}) << -1;
    QTest::newRow("13-character name") << 2 << 0 << "" << 0 << "ABCDEFGHIJKLM" << bytes({1, 3, 0x80, 0, 0}) << 72;
}

void TestEdidEncode::baseBlock()
{
    QFETCH(int, interface);
    QFETCH(int, revision);
    QFETCH(QString, size);
    QFETCH(int, aspect);
    QFETCH(QString, name);
    QFETCH(QByteArray, expected);
    QFETCH(int, nameSlot);

    EdidState s = newEdidState();
    s.signalType = interface == 0 ? EdidState::SignalType::Analog : EdidState::SignalType::Digital;
    s.digitalInterface = EdidState::DigitalInterface(interface == 0 ? 0 : interface);
    s.colorBitDepth = interface == 2 ? EdidState::ColorBitDepth::Bits8 : EdidState::ColorBitDepth::Unset;
    s.revision = revision;
    s.displaySize = size;
    s.aspectRatio = aspect;
    s.monitorName = name;
    s.edidSize = EdidState::EdidSize::Blocks1;
    s.timings = {cea1080p60()};
    s.productCode = 0x1234;
    s.serialNumber = 0xA1B2C3D4;
    s.week = 12;
    s.year = 2026;

    const EdidEncodeResult r = encodeEdid(s);
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(r.bytes.size(), 128);
    QVERIFY(blocksSumToZero(r.bytes));
    QCOMPARE(r.bytes.left(8), bytes({0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0}));
    QCOMPARE(r.bytes.mid(8, 10), bytes({0x59, 0x8D, 0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1, 12, 36}));
    QCOMPARE(r.bytes.mid(18, 5), expected);
    QCOMPARE(at(r.bytes, 23), 0x78); // gamma 2.2
    QCOMPARE(at(r.bytes, 126), 0);
    if (nameSlot < 0) {
        for (int p = 54; p < 126; p += 18)
            QVERIFY(at(r.bytes, p + 3) != 0xFC || at(r.bytes, p) != 0);
    } else {
        QCOMPARE(r.bytes.mid(nameSlot, 5), bytes({0, 0, 0, 0xFC, 0}));
        QByteArray text = name.toLatin1().left(13);
        if (text.size() < 13)
            text += '\n';
        QCOMPARE(r.bytes.mid(nameSlot + 5, 13), text.leftJustified(13, ' '));
    }
}

void TestEdidEncode::chromaticityCodes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code");
    QTest::newRow("0.64") << "0.64" << 655;
    QTest::newRow("exact 0.3125") << "0.3125" << 320;
    QTest::newRow("half a step rounds up") << "0.00048828125" << 1;
    QTest::newRow("0.9999 clamped to 10 bits") << "0.9999" << 1023;
    QTest::newRow("not a number") << "abc" << 0;
}

void TestEdidEncode::chromaticityCodes()
{
    QFETCH(QString, text);
    QFETCH(int, code);
    EdidState s = hdmiState();
    s.redX = s.whiteY = text;
    const QByteArray b = encodeEdid(s).bytes;
    QCOMPARE(at(b, 27) << 2 | at(b, 25) >> 6, code);
    QCOMPARE(at(b, 34) << 2 | (at(b, 26) & 3), code);
}

void TestEdidEncode::timingPlacement()
{
    // One 1080p60 row, native, in an HDMI EDID.
    EdidState s = hdmiState();
    s.monitorName.clear();
    Timing t = cea1080p60();
    t.native = true;
    s.timings = {t};
    EdidEncodeResult r = encodeEdid(s);
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(r.bytes.mid(35, 3), bytes({0, 0, 0}));
    QCOMPARE(r.bytes.mid(38, 2), bytes({0xD1, 0xC0}));
    QCOMPARE(r.bytes.mid(40, 14), QByteArray(14, char(0x01)));
    QCOMPARE(r.bytes.mid(54, 2), bytes({0x02, 0x3A})); // 14850
    QCOMPARE(r.bytes.mid(132, 2), bytes({0x41, 0x90}));
    QCOMPARE(at(r.bytes, 131) & 0x0F, 1);
    QCOMPARE(r.placements.size(), 1);
    QVERIFY(r.placements[0].standard && r.placements[0].videoBlock && r.placements[0].dtd);
    QVERIFY(!r.placements[0].established && !r.placements[0].hdmiBlock);

    // A 4096-wide row never becomes a DTD; the next row takes the slot. VIC 97 has no native
    // bit. A 4:2:0-only row stays out of the video data block. The eighth HDMI VIC is dropped.
    EdidState m = hdmiState();
    Timing wide = custom(4096, 2160, 297.0);
    Timing v97 = cea1080p60();
    v97.vic = 97;
    v97.hActive = 3840;
    v97.vActive = 2160;
    v97.hBlank = 560;
    v97.hFront = 176;
    v97.hSync = 88;
    v97.vBlank = 90;
    v97.vFront = 8;
    v97.vSync = 10;
    v97.pixelFreq = 594;
    v97.native = true;
    v97.updateTotalsAndRates();
    Timing only420 = v97;
    only420.vic = 96;
    only420.fieldRate = 50;
    only420.subsampling = 1;
    m.timings = {wide, v97, only420};
    for (int k = 1; k <= 8; ++k) {
        Timing h = custom(3840, 2160, 297.0 - k);
        h.hdmiVic = k;
        m.timings.append(h);
    }
    r = encodeEdid(m);
    QVERIFY2(r.ok(), qPrintable(r.error));
    QVERIFY(!r.placements[0].dtd);
    QVERIFY(r.placements[1].dtd);
    QCOMPARE(at(r.bytes, 56), 3840 & 0xFF);
    QCOMPARE(dataBlock(r.bytes, 2), bytes({0x41, 97}));
    QCOMPARE(dataBlock(r.bytes, 7, 14), bytes({0xE2, 0x0E, 96}));
    QVERIFY(r.placements[2].videoBlock);
    const QByteArray vsdb = dataBlock(r.bytes, 3);
    QVERIFY(!vsdb.isEmpty());
    QCOMPARE(at(vsdb, 14) >> 5, 7);
    QVERIFY(r.placements[9].hdmiBlock);
    QVERIFY(!r.placements[10].hdmiBlock);

    // An analog EDID: no extension blocks, no video data block.
    EdidState a = newEdidState();
    a.signalType = EdidState::SignalType::Analog;
    a.edidSize = EdidState::EdidSize::Blocks1;
    a.timings = {cea1080p60()};
    r = encodeEdid(a);
    QCOMPARE(r.bytes.size(), 128);
    QVERIFY(!r.placements[0].videoBlock);
}

void TestEdidEncode::standardCodes_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("code"); // 0: none
    QTest::newRow("1280x720 at 60") << 1280 << 720 << 60 << 0x81C0;
    QTest::newRow("1280x1024 at 75") << 1280 << 1024 << 75 << 0x818F;
    QTest::newRow("1680x1050 at 60") << 1680 << 1050 << 60 << 0xB300;
    QTest::newRow("1366x768: no aspect code") << 1366 << 768 << 60 << 0;
    QTest::newRow("124 Hz: no code") << 1280 << 720 << 124 << 0;
    QTest::newRow("50 Hz: no code") << 1280 << 720 << 50 << 0;
}

void TestEdidEncode::standardCodes()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, rate);
    QFETCH(int, code);
    EdidState s = hdmiState();
    Timing t = custom(width, height, 100);
    t.fieldRate = rate;
    t.standard = true;
    s.timings = {t};
    const EdidEncodeResult r = encodeEdid(s);
    QCOMPARE(at(r.bytes, 38) << 8 | at(r.bytes, 39), code ? code : 0x0101);
    QCOMPARE(r.placements[0].standard, code != 0);
    // A row placed as a standard timing stays there; one that has no code lands elsewhere.
    QCOMPARE(r.placements[0].dtd, code == 0);
}

void TestEdidEncode::pixelClockRoundsToNearest()
{
    EdidState s = hdmiState();
    s.timings = {custom(640, 480, 25.175), custom(800, 600, 40.004999)};
    const QByteArray b = encodeEdid(s).bytes;
    QCOMPARE(at(b, 54) | at(b, 55) << 8, 2518);
    QCOMPARE(at(b, 72) | at(b, 73) << 8, 4000);
}

void TestEdidEncode::rangeLimitsTakeInEveryTiming()
{
    auto range = [](const QByteArray& b) {
        for (int p = 54; p < 126; p += 18) {
            if (at(b, p) == 0 && at(b, p + 3) == 0xFD)
                return b.mid(p, 18);
        }
        return QByteArray();
    };
    EdidState s = hdmiState();
    // 59.94 Hz at 31.47 kHz and 155 MHz at 75 Hz: minima down, maxima up.
    Timing slow = custom(640, 480, 25.175, 160, 45);
    Timing fast = custom(1920, 1080, 155.0, 160, 30);
    s.timings = {slow, fast};
    QByteArray r = range(encodeEdid(s).bytes);
    QCOMPARE(r.size(), 18);
    const double slowRate = 25.175e6 / (800.0 * 525.0);
    QVERIFY(at(r, 5) <= slowRate && at(r, 6) >= 155.0e6 / (2080.0 * 1110.0));
    QCOMPARE(at(r, 5), 59);
    QCOMPARE(at(r, 7), 31);
    QCOMPARE(at(r, 9), 16); // 160 MHz, not 150
    QCOMPARE(at(r, 10), 0x00);

    // 148.5 MHz gives 15, 594 MHz 60.
    s.timings = {cea1080p60()};
    QCOMPARE(at(range(encodeEdid(s).bytes), 9), 15);
    s.timings[0].pixelFreq = 594;
    QCOMPARE(at(range(encodeEdid(s).bytes), 9), 60);

    // No timings: no range descriptor at all (never one with min > max).
    s.timings.clear();
    QVERIFY(range(encodeEdid(s).bytes).isEmpty());

    // A kept descriptor is widened only where a timing falls outside it.
    EdidState k = hdmiState();
    k.rangeLimitsDescriptor = bytes({0, 0, 0, 0xFD, 0, 56, 75, 30, 83, 17, 0, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20});
    k.timings = {cea1080p60()};
    QCOMPARE(range(encodeEdid(k).bytes), k.rangeLimitsDescriptor);
    Timing pal = cea1080p60();
    pal.hBlank = 720;
    pal.hFront = 528;
    pal.updateTotalsAndRates();
    k.timings.append(pal); // 50 Hz
    r = range(encodeEdid(k).bytes);
    QCOMPARE(at(r, 5), 50);
    QCOMPARE(at(r, 6), 75);
}

void TestEdidEncode::audioAndSpeakers()
{
    EdidState s = hdmiState();
    s.basicAudio = true;
    AudioFormat pcm;
    pcm.type = 1;
    pcm.channels = 2;
    pcm.samplingFreqs = {32, 44.1, 48};
    pcm.bitDepths = {16, 20, 24};
    AudioFormat ac3;
    ac3.type = 2;
    ac3.channels = 6;
    ac3.samplingFreqs = {48};
    ac3.maxBitRate = 640;
    s.audioFormats = {pcm, ac3};
    s.speakerFL = s.speakerFR = s.speakerLFE = true;
    s.unknownAudioDescriptors = {bytes({0x00, 0x01, 0x02})};
    EdidEncodeResult r = encodeEdid(s);
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(dataBlock(r.bytes, 1), bytes({0x29, 0x09, 0x07, 0x07, 0x15, 0x04, 80, 0x00, 0x01, 0x02}));
    QCOMPARE(dataBlock(r.bytes, 4), bytes({0x83, 0x03, 0x00, 0x00}));
    QVERIFY(at(r.bytes, 131) & 0x40);

    // Basic audio without rows: only the speaker block. DisplayPort: no HDMI blocks.
    s.audioFormats.clear();
    s.unknownAudioDescriptors.clear();
    s.digitalInterface = EdidState::DigitalInterface::DisplayPort;
    r = encodeEdid(s);
    QVERIFY(dataBlock(r.bytes, 1).isEmpty());
    QCOMPARE(at(dataBlock(r.bytes, 4), 0), 0x83);
    QVERIFY(dataBlock(r.bytes, 3).isEmpty());

    // More than ten descriptors go into a second audio block.
    s.digitalInterface = EdidState::DigitalInterface::Hdmi;
    for (int k = 1; k <= 12; ++k) {
        AudioFormat f = pcm;
        f.channels = 1 + k % 8;
        f.samplingFreqs = {k % 2 ? 48.0 : 96.0};
        f.bitDepths = {k % 3 ? 16 : 24};
        if (!s.audioFormats.contains(f))
            s.audioFormats.append(f);
    }
    r = encodeEdid(s);
    QVERIFY2(r.ok(), qPrintable(r.error));
    EdidState back;
    decodeEdid(r.bytes, m_context, &back);
    QCOMPARE(back.audioFormats.size(), s.audioFormats.size());
}

void TestEdidEncode::hdmiBlocks()
{
    EdidState s = hdmiState();
    s.physicalAddress = {1, 2, 3, 4};
    s.dc36bit = true;
    s.maxTmdsClock = QStringLiteral("600"); // the HDMI 1.4 block tells at most 340 MHz
    s.gameContent = true;
    s.timings = {cea1080p60()};
    EdidEncodeResult r = encodeEdid(s);
    QByteArray v = dataBlock(r.bytes, 3);
    QCOMPARE(v.left(9), bytes({0x6C, 0x03, 0x0C, 0x00, 0x12, 0x34, 0x20, 68, 0xC8}));
    QVERIFY(dataBlock(r.bytes, 3, 0xD8).isEmpty() || at(dataBlock(r.bytes, 3, 0xD8), 3) != 0xC4);

    // A new HDMI Forum block appears for a 594 MHz timing: rate 595 MHz, SCDC and scrambling.
    Timing uhd = cea1080p60();
    uhd.vic = 97;
    uhd.pixelFreq = 594;
    s.timings.append(uhd);
    r = encodeEdid(s);
    QByteArray hf;
    for (int p = 132; p < 128 + at(r.bytes, 130); p += (at(r.bytes, p) & 0x1F) + 1) {
        if (at(r.bytes, p) >> 5 == 3 && at(r.bytes, p + 1) == 0xD8)
            hf = r.bytes.mid(p, (at(r.bytes, p) & 0x1F) + 1);
    }
    QCOMPARE(hf, bytes({0x67, 0xD8, 0x5D, 0xC4, 0x01, 119, 0x88, 0x00}));

    // At exactly 340 MHz no block is needed (scrambling is for faster clocks only).
    s.timings[1].pixelFreq = 340;
    r = encodeEdid(s);
    for (int p = 132; p < 128 + at(r.bytes, 130); p += (at(r.bytes, p) & 0x1F) + 1)
        QVERIFY(!(at(r.bytes, p) >> 5 == 3 && at(r.bytes, p + 1) == 0xD8));

    // A block read keeps its rate, flags and tail.
    s.hfVsdbPresent = true;
    s.hfVsdbVersion = 1;
    s.hfVsdbMaxTmdsRate = 0;
    s.hfVsdbFlags6 = 0x02;
    s.hfVsdbFlags7 = 0x01;
    s.hfVsdbTail = bytes({0xAA, 0xBB});
    r = encodeEdid(s);
    hf.clear();
    for (int p = 132; p < 128 + at(r.bytes, 130); p += (at(r.bytes, p) & 0x1F) + 1) {
        if (at(r.bytes, p) >> 5 == 3 && at(r.bytes, p + 1) == 0xD8)
            hf = r.bytes.mid(p, (at(r.bytes, p) & 0x1F) + 1);
    }
    QCOMPARE(hf, bytes({0x69, 0xD8, 0x5D, 0xC4, 0x01, 0x00, 0x02, 0x01, 0xAA, 0xBB}));
}

void TestEdidEncode::latencies_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code");
    QTest::newRow("empty: unknown") << "" << 0;
    QTest::newRow("0 ms") << "0" << 1;
    QTest::newRow("40 ms") << "40" << 21;
    QTest::newRow("not supported stays 255") << "255" << 255;
    QTest::newRow("too long is clamped") << "900" << 254;
    QTest::newRow("negative: unknown") << "-1" << 0;
}

void TestEdidEncode::latencies()
{
    QFETCH(QString, text);
    QFETCH(int, code);
    EdidState s = hdmiState();
    s.latencyProgressiveVideo = text;
    s.latencyInterlacedAudio = text;
    const QByteArray v = dataBlock(encodeEdid(s).bytes, 3);
    QCOMPARE(at(v, 8) & 0xC0, 0xC0);
    QCOMPARE(at(v, 9), code);
    QCOMPARE(at(v, 12), code);
    // And back.
    EdidState back;
    decodeEdid(encodeEdid(s).bytes, m_context, &back);
    if (code != 0 && code != 254)
        QCOMPARE(back.latencyProgressiveVideo, text);
}

void TestEdidEncode::hdrBlock()
{
    EdidState s = hdmiState();
    s.enableHdr = true;
    s.hdrSdr = s.hdrSmpte2084 = s.hdrHlg = true;
    s.contentMaxLuminance = QStringLiteral("100");
    QCOMPARE(dataBlock(encodeEdid(s).bytes, 7, 6), bytes({0xE4, 0x06, 0x0D, 0x00, 100}));
    s.contentMaxLuminance.clear();
    s.contentMinLuminance = QStringLiteral("300"); // clamped to its byte
    QCOMPARE(dataBlock(encodeEdid(s).bytes, 7, 6), bytes({0xE6, 0x06, 0x0D, 0x00, 0, 0, 255}));
    s.enableHdr = false;
    QVERIFY(dataBlock(encodeEdid(s).bytes, 7, 6).isEmpty());

    // Colorimetry: DCI-P3 alone is enough for a block.
    s.colorimetry[8] = true;
    QCOMPARE(dataBlock(encodeEdid(s).bytes, 7, 5), bytes({0xE3, 0x05, 0x00, 0x80}));
}

void TestEdidEncode::yuv420MapIndexesTheVideoBlock()
{
    // The video block lists 4, 16, 97 (in the order read); 97 offers 4:2:0 as well: bit 2.
    EdidState s = hdmiState();
    Timing t4 = cea1080p60();
    t4.vic = 4;
    t4.hActive = 1280;
    t4.vActive = 720;
    t4.pixelFreq = 74.25;
    t4.hBlank = 370;
    t4.vBlank = 30;
    t4.updateTotalsAndRates();
    Timing t16 = cea1080p60();
    Timing t97 = cea1080p60();
    t97.vic = 97;
    t97.hActive = 3840;
    t97.vActive = 2160;
    t97.pixelFreq = 594;
    t97.hBlank = 560;
    t97.vBlank = 90;
    t97.updateTotalsAndRates();
    t97.subsampling = 2;
    for (Timing* t : {&t4, &t16, &t97})
        t->videoBlock = true;
    s.timings = {t97, t16, t4}; // table order differs from the block's
    s.videoBlockVics = {4, 16, 97};
    const QByteArray b = encodeEdid(s).bytes;
    QCOMPARE(dataBlock(b, 2), bytes({0x43, 4, 16, 97}));
    QCOMPARE(dataBlock(b, 7, 15), bytes({0xE2, 0x0F, 0x04}));
}

void TestEdidEncode::oversizedDataBlocksAreRefused()
{
    EdidState s = hdmiState();
    s.otherDataBlocks.clear();
    for (int k = 0; k < 5; ++k)
        s.otherDataBlocks.append(QByteArray(1, char(0xFF)) + QByteArray(30, char(k))); // 5 x 31 bytes
    const EdidEncodeResult r = encodeEdid(s);
    QVERIFY(!r.ok());
    QVERIFY(r.bytes.isEmpty());
    QVERIFY2(r.error.contains(QLatin1String("123")), qPrintable(r.error));
    QCOMPARE(edidEncodableError(s), r.error);

    // 3D entries beyond a block's 31 bytes.
    EdidState t = hdmiState();
    t.threeDPresent = true;
    for (int i = 0; i < 16; ++i)
        t.vicThreeDStructures[size_t(i)] = 0x0141;
    QVERIFY(!encodeEdid(t).ok());

    // Without data blocks, byte 130 is 4.
    EdidState d = newEdidState();
    d.signalType = EdidState::SignalType::Digital;
    d.digitalInterface = EdidState::DigitalInterface::Dvi;
    d.edidSize = EdidState::EdidSize::Blocks2;
    QCOMPARE(at(encodeEdid(d).bytes, 130), 4);
}

// The HDMI block's 3D entries index the video block's SVDs. After the table is rebuilt in another
// order (VIC 32 added between VICs the EDID already listed), a slot's 3D format must still land on
// its own VIC, not on whichever VIC the video block lists at the slot's index.
void TestEdidEncode::threeDEntriesFollowTheirVics()
{
    const auto cea = [this](int vic) {
        for (const Timing& t : m_timings.timings)
            if (t.type == QLatin1String("CEA") && t.vic == vic && t.hdmiVic == 0)
                return t;
        return Timing();
    };
    EdidState original = hdmiState();
    for (int vic : {16, 4, 31, 19}) {
        EdidRules::addTiming(&original.timings, &original.dtdCount, cea(vic));
        EdidRules::addVicSlot(&original, cea(vic));
    }
    const EdidEncodeResult first = encodeEdid(original);
    QVERIFY2(first.ok(), qPrintable(first.error));

    EdidState s;
    decodeEdid(first.bytes, m_context, &s);
    s.timings.clear();
    s.dtdCount = 0;
    s.vicSlots.clear();
    for (int vic : {16, 4, 31, 32, 19}) {
        EdidRules::addTiming(&s.timings, &s.dtdCount, cea(vic));
        EdidRules::addVicSlot(&s, cea(vic));
    }
    s.threeDPresent = true;
    s.vicThreeDStructures = {};
    s.vicThreeDStructures[3] = 1; // frame packing, for VIC 32 (slot 3)
    const EdidEncodeResult r = encodeEdid(s);
    QVERIFY2(r.ok(), qPrintable(r.error));

    EdidState back;
    decodeEdid(r.bytes, m_context, &back);
    QCOMPARE(back.vicSlots.size(), 5);
    for (int i = 0; i < back.vicSlots.size(); ++i)
        QCOMPARE(back.vicThreeDStructures[size_t(i)], back.vicSlots.at(i).vic == 32 ? 1 : 0);
}

void TestEdidEncode::checksumsOverGeneratedStates()
{
    QRandomGenerator random(11);
    const QList<Timing> pool = [this] {
        QList<Timing> l;
        for (const Timing& t : m_timings.timings)
            l.append(t);
        return l;
    }();
    QVERIFY(pool.size() > 50);
    int encoded = 0;
    for (int n = 0; n < 300; ++n) {
        EdidState s = newEdidState();
        const int iface = random.bounded(5);
        s.signalType = iface == 0 ? EdidState::SignalType::Analog : EdidState::SignalType::Digital;
        s.digitalInterface = EdidState::DigitalInterface(iface == 0 ? 0 : iface - 1);
        s.revision = random.bounded(2) ? 4 : 3;
        s.edidSize = random.bounded(3) ? EdidState::EdidSize::Blocks2 : EdidState::EdidSize::Blocks1;
        s.monitorName = random.bounded(2) ? QStringLiteral("Monitor %1").arg(n) : QString();
        s.displaySize = QString::number(random.bounded(200));
        s.aspectRatio = random.bounded(7);
        s.redX = QString::number(random.generateDouble(), 'f', 4);
        s.basicAudio = random.bounded(2);
        s.speakerFL = random.bounded(2);
        s.enableHdr = random.bounded(2);
        s.hdrSmpte2084 = true;
        s.maxTmdsClock = QString::number(random.bounded(700));
        const int rows = random.bounded(20);
        for (int k = 0; k < rows; ++k) {
            Timing t = pool.at(random.bounded(pool.size()));
            t.native = random.bounded(4) == 0;
            t.subsampling = random.bounded(3);
            if (random.bounded(3) == 0)
                t.hdmiVic = 1 + random.bounded(4);
            s.timings.append(t);
        }
        for (int k = random.bounded(12); k > 0; --k) {
            AudioFormat f;
            f.type = 1 + random.bounded(20);
            f.channels = 1 + random.bounded(8);
            f.samplingFreqs = {48};
            f.maxBitRate = 8 * random.bounded(100);
            s.audioFormats.append(f);
        }
        const EdidEncodeResult r = encodeEdid(s);
        QCOMPARE(r.placements.size(), s.timings.size());
        if (!r.ok()) {
            QVERIFY(r.bytes.isEmpty());
            continue;
        }
        ++encoded;
        QVERIFY2(blocksSumToZero(r.bytes), qPrintable(QString::number(n)));
        QCOMPARE(r.bytes.size(), s.edidSize == EdidState::EdidSize::Blocks2 ? 256 : 128);
        QVERIFY(edidInputError(r.bytes).isEmpty());
    }
    QVERIFY(encoded > 250);
}

void TestEdidEncode::decodeGivesTheStateBack()
{
    EdidState s = hdmiState();
    s.revision = 4;
    s.colorBitDepth = EdidState::ColorBitDepth::Bits10;
    s.ycbcr444 = true;
    s.standbyMode = true;
    s.displaySize = QStringLiteral("27");
    s.aspectRatio = 0;
    s.redX = QStringLiteral("0.640");
    s.redY = QStringLiteral("0.330");
    s.whiteX = QStringLiteral("0.313");
    s.whiteY = QStringLiteral("0.329");
    s.basicAudio = true;
    s.underscan = true;
    AudioFormat pcm;
    pcm.type = 1;
    pcm.channels = 2;
    pcm.samplingFreqs = {48, 44.1, 32};
    pcm.bitDepths = {24, 20, 16};
    s.audioFormats = {pcm};
    s.speakerFL = s.speakerFR = s.speakerFC = true;
    s.physicalAddress = {2, 0, 0, 0};
    s.maxTmdsClock = QStringLiteral("300");
    s.latencyProgressiveVideo = QStringLiteral("20");
    s.colorimetry[6] = s.colorimetry[7] = true;
    s.enableHdr = true;
    s.hdrSdr = s.hdrSmpte2084 = true;
    for (const Timing& c : m_timings.timings) {
        if (c.type == QLatin1String("CEA") && (c.vic == 16 || c.vic == 4 || c.vic == 97))
            s.timings.append(c);
    }
    QCOMPARE(s.timings.size(), 3);

    const EdidEncodeResult r = encodeEdid(s);
    QVERIFY2(r.ok(), qPrintable(r.error));
    EdidState back;
    decodeEdid(r.bytes, m_context, &back);
    QCOMPARE(back.digitalInterface, s.digitalInterface);
    QCOMPARE(back.colorBitDepth, s.colorBitDepth);
    QCOMPARE(back.revision, 4);
    QCOMPARE(back.ycbcr444, true);
    QCOMPARE(back.standbyMode, true);
    QCOMPARE(back.displaySize.left(2), QStringLiteral("27"));
    QCOMPARE(back.redX, s.redX);
    QCOMPARE(back.whiteY, s.whiteY);
    QCOMPARE(back.monitorName, s.monitorName);
    QCOMPARE(back.underscan, true);
    QCOMPARE(back.audioFormats.size(), 1);
    QCOMPARE(back.audioFormats[0].samplingFreqs, pcm.samplingFreqs);
    QCOMPARE(back.audioFormats[0].bitDepths, pcm.bitDepths);
    QVERIFY(back.speakerFL && back.speakerFC && !back.speakerLFE);
    QCOMPARE(back.physicalAddress, s.physicalAddress);
    // No clock and 0 MHz are one thing (a rate byte that must be written for the flags after it
    // holds 0); any other clock comes back as it was.
    auto clock = [](const QString& mhz) { return mhz.toDouble() > 0 ? mhz : QString(); };
    QCOMPARE(clock(back.maxTmdsClock), clock(s.maxTmdsClock));
    QCOMPARE(back.latencyProgressiveVideo, s.latencyProgressiveVideo);
    QCOMPARE(back.colorimetry, s.colorimetry);
    QVERIFY(back.enableHdr && back.hdrSdr && back.hdrSmpte2084 && !back.hdrHlg);
    // Every row comes back, where the encoder said it landed.
    for (int i = 0; i < s.timings.size(); ++i) {
        const Timing& t = s.timings.at(i);
        bool found = false;
        for (const Timing& b : back.timings) {
            if (b.vic == t.vic && b.hActive == t.hActive && qFuzzyCompare(b.pixelFreq, t.pixelFreq)) {
                found = true;
                QCOMPARE(b.videoBlock, r.placements[i].videoBlock);
                QCOMPARE(b.dtd, r.placements[i].dtd);
                QCOMPARE(b.standard, r.placements[i].standard);
            }
        }
        QVERIFY2(found, qPrintable(t.name));
    }
    // And encoding what came back gives the same bytes again.
    EdidState again = back;
    again.originState.reset();
    again.originBytes.clear();
    QCOMPARE(encodeEdid(again).bytes, r.bytes);
}

void TestEdidEncode::editsKeepWhatTheyDoNotTouch()
{
    // A real EDID with serial text, a range descriptor and an HDMI Forum block.
    const QString path = PlexaTest::edidCorpusDir() + QStringLiteral("/Digital_Goldstar_GSM0001_E3771FECB514.bin");
    QString error;
    const QByteArray original = readEdidFile(path, &error);
    QVERIFY2(!original.isEmpty(), qPrintable(error));
    EdidState s;
    decodeEdid(original, m_context, &s);

    EdidEncodeResult r = encodeEdid(s);
    QCOMPARE(r.bytes, original);

    // A new name: the descriptors change, nothing else in the base block, and the extension
    // stays as read.
    s.monitorName = QStringLiteral("Renamed");
    r = encodeEdid(s);
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(r.bytes.left(54), original.left(54));
    QCOMPARE(r.bytes.mid(128, 127), original.mid(128, 127));
    QVERIFY(r.bytes.mid(54, 72).contains("Renamed\n"));
    EdidState back;
    decodeEdid(r.bytes, m_context, &back);
    QCOMPARE(back.timings.size(), s.timings.size());

    // A new EDID, read back and edited.
    EdidState fresh = newEdidState();
    fresh.signalType = EdidState::SignalType::Digital;
    fresh.digitalInterface = EdidState::DigitalInterface::Hdmi;
    EdidState loaded;
    decodeEdid(encodeEdid(fresh).bytes, m_context, &loaded);
    loaded.standbyMode = true;
    QVERIFY(at(encodeEdid(loaded).bytes, 24) & 0x80);

    // Colorimetry changed: only that data block changes.
    s.monitorName = QStringLiteral("LG TV RVU");
    s.colorimetry[0] = true;
    r = encodeEdid(s);
    QCOMPARE(r.bytes.left(127), original.left(127));
    QCOMPARE(r.bytes.size(), 256);
    decodeEdid(r.bytes, m_context, &back);
    QVERIFY(back.colorimetry[0] && back.colorimetry[6] && back.colorimetry[7]);
    QCOMPARE(back.audioFormats, s.audioFormats);
    QCOMPARE(back.hfVsdbFlags6, s.hfVsdbFlags6);
}

void TestEdidEncode::rebuiltShowsTheSame_data()
{
    QTest::addColumn<QByteArray>("edid");
    // HDMI block: address 1.0.0.0, no flags, 0 MHz, then byte 7 = interlaced-latency flag alone
    // with HDMI video present, no 3D, one HDMI VIC (1).
    QTest::newRow("interlaced latency flag alone")
        << EdidBuilder().cea().dataBlock(3, {0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x00, 0x60, 0x00, 0x20, 0x01}).build();
    // Linear PCM with the reserved top bit of byte 2 set, then AC-3.
    QTest::newRow("audio descriptor with a reserved bit")
        << EdidBuilder().cea(0x40).dataBlock(1, {0x09, 0x87, 0x07, 0x15, 0x07, 0x50}).build();
    // Two DTS-HD descriptors apart only in byte 3, both with the reserved bit of byte 2.
    QTest::newRow("DTS-HD with a reserved bit")
        << EdidBuilder().cea(0x40).dataBlock(1, {0x5F, 0x87, 0x07, 0x5F, 0x87, 0x01}).build();
    // SVD 0 (no VIC) marked by the 4:2:0 capability map; the base DTD has no VIC either.
    QTest::newRow("capability map bit of SVD 0")
        << withDtd1080().cea().dataBlock(2, {0x00, 0x10}).extendedBlock(0x0F, {0x01}).build();
    // An E-EDID 1.3 read as HDMI (a data block before the detailed timings) whose only block is
    // an empty video data block.
    // Found by the fuzz target: an extension whose HDMI block is written anew, with no TMDS clock
    // in the form.
    QTest::newRow("new HDMI block without a TMDS clock")
        << QByteArray::fromBase64(
               "AP///////wBMLYhwRU1YQwMfAQOARih4KkOlrlJEsCYPUFS/74BxT4EAgcCBgJUAAGFQAGsOg+IAoKCgKVAIQDUAuokhAAAaAAAA"
               "/QAwkB7WOwAKIN7fICAgAABA/ABMQzMyRzV4VAogICAgAAAA/wBINFpSMTAwMzA2CiAgAbcCBgUBVl4AoKCgKVAwIDUAugMMABAA"
               "uDxn2F3EAXYwIDUAuokhAAAaWoeAoHA4TUAwIDUAuokhAAAaAjqAGHE4LUBYLEUAuokhAAAe9gAAAAAAAAAAAAAAAAAAAAAAAAAA"
               "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA==");
    QTest::newRow("HDMI EDID 1.3 without blocks to write")
        << EdidBuilder().set(19, {3}).set(20, {0x80}).cea().dataBlock(2, QByteArray()).build();
}

void TestEdidEncode::rebuiltShowsTheSame()
{
    // Decode, write as after an edit of every part (nothing kept as read), decode again: the
    // timing and audio tables and the interface are what they were.
    QFETCH(QByteArray, edid);
    EdidState s;
    decodeEdid(edid, m_context, &s);
    // A row without a VIC is never 4:2:0 capable.
    for (const Timing& t : s.timings)
        QVERIFY2(t.vic != 0 || t.subsampling == 0, qPrintable(t.name));
    s.originState.reset();
    s.originBytes.clear();
    s.edidSize = EdidState::EdidSize::Blocks2;
    const EdidEncodeResult r = encodeEdid(s);
    QVERIFY2(r.ok(), qPrintable(r.error));
    EdidState back;
    decodeEdid(r.bytes, m_context, &back);
    QCOMPARE(back.digitalInterface, s.digitalInterface);
    QCOMPARE(back.audioFormats, s.audioFormats);
    // No clock and 0 MHz are one thing (a rate byte that must be written for the flags after it
    // holds 0); any other clock comes back as it was.
    auto clock = [](const QString& mhz) { return mhz.toDouble() > 0 ? mhz : QString(); };
    QCOMPARE(clock(back.maxTmdsClock), clock(s.maxTmdsClock));
    auto rows = [](const EdidState& state) {
        QStringList l;
        for (const Timing& t : state.timings)
            l << QStringLiteral("%1x%2 vic %3 hdmi vic %4 420 %5 hdmi block %6")
                     .arg(t.hActive)
                     .arg(t.vActive)
                     .arg(t.vic)
                     .arg(t.hdmiVic)
                     .arg(t.subsampling)
                     .arg(t.hdmiBlock);
        l.sort();
        return l;
    };
    QCOMPARE(rows(back), rows(s));
}

void TestEdidEncode::files()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("edid.bin"));
    EdidState s = hdmiState();
    s.timings = {cea1080p60()};
    const QByteArray two = encodeEdid(s).bytes;
    s.edidSize = EdidState::EdidSize::Blocks1;
    const QByteArray one = encodeEdid(s).bytes;
    QCOMPARE(two.size(), 256);
    QCOMPARE(one.size(), 128);

    QString error;
    QVERIFY2(writeEdidFile(path, two, &error), qPrintable(error));
    QCOMPARE(QFileInfo(path).size(), 256);
    QCOMPARE(readEdidFile(path, &error), two);
    // Over a longer file: no trailing bytes.
    QVERIFY(writeEdidFile(path, one, &error));
    QCOMPARE(QFileInfo(path).size(), 128);
    QCOMPARE(readEdidFile(path, &error), one);

    // A failed write says why and leaves the old file whole.
    const QString blocked = dir.filePath(QStringLiteral("blocked.bin"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("blocked.bin")));
    error.clear();
    QVERIFY(!writeEdidFile(blocked, one, &error));
    QVERIFY(!error.isEmpty());
    // A write that fails half-way (the file size limit stops it, as a full disk would): the old
    // file stays as it was.
    QVERIFY(writeEdidFile(path, one, &error));
    struct rlimit old;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = old;
    limit.rlim_cur = 200;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    error.clear();
    const bool written = writeEdidFile(path, two, &error);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QCOMPARE(readEdidFile(path, &error), one);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no temporary file left

    // Reading refuses what is not an EDID.
    QFile odd(dir.filePath(QStringLiteral("odd.bin")));
    QVERIFY(odd.open(QIODevice::WriteOnly));
    odd.write(one.left(100));
    odd.close();
    error.clear();
    QVERIFY(readEdidFile(odd.fileName(), &error).isEmpty());
    QVERIFY(error.contains(QLatin1String("128-byte")));
    error.clear();
    QVERIFY(readEdidFile(dir.filePath(QStringLiteral("missing.bin")), &error).isEmpty());
    QVERIFY(!error.isEmpty());
}

PLEXA_TEST_MAIN(TestEdidEncode)
#include "tst_edid_encode.moc"
