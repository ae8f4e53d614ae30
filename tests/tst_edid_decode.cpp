// The EDID decoder on small hand-made EDIDs: one case per rule, the hex dump and block map, and
// malformed input.

#include "edidbuilder.h"
#include "ediddecoder.h"
#include "edidrules.h"
#include "timingmodel.h"
#include "plexatest.h"
#include "resources.h"

namespace {
const TimingCatalogue& catalogue()
{
    static TimingCatalogue c;
    if (c.timings.isEmpty()) {
        initPlexaResources();
        loadTimingCatalogue(QStringLiteral(":/catalogues/timings.xml"), &c);
    }
    return c;
}

struct Decoded
{
    QString text;
    EdidState state;
    int warnings = 0;
};

Decoded decode(const QByteArray& bytes, std::function<bool()> keepHdr = {})
{
    Decoded d;
    EdidDecodeContext context;
    context.timings = &catalogue();
    context.checksumWarning = [&d] { ++d.warnings; };
    context.keepHdrStaticMetadata = keepHdr;
    d.text = decodeEdid(bytes, context, &d.state);
    // A text-only decode gives the same description.
    EdidDecodeContext textOnly;
    textOnly.timings = &catalogue();
    const QString again = decodeEdid(bytes, textOnly, nullptr);
    if (again != d.text)
        qWarning("text-only decode differs");
    return d;
}

const QList<int> dtd1080p = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58,
                             0x2C, 0x45, 0x00, 0xC4, 0x8E, 0x21, 0x00, 0x00, 0x1E};

EdidBuilder withDtd(const QList<int>& dtd, int slot = 0)
{
    EdidBuilder b;
    QByteArray bytes;
    for (int v : dtd)
        bytes.append(char(v));
    b.set(54 + 18 * slot, bytes);
    return b;
}
} // namespace

class TestEdidDecode : public QObject
{
    Q_OBJECT

private slots:
    void refusesWhatIsNotAnEdid_data();
    void refusesWhatIsNotAnEdid();
    void transferCheck_data();
    void transferCheck();
    void header_data();
    void header();
    void videoInput_data();
    void videoInput();
    void featureSupportFollowsRevision();
    void checksumWarnsOnce();
    void establishedAndStandardTimings_data();
    void establishedAndStandardTimings();
    void detailedTimingCustom();
    void detailedTimingPolaritiesFollowSyncType_data();
    void detailedTimingPolaritiesFollowSyncType();
    void displayDescriptors();
    void rangeLimitOffsets_data();
    void rangeLimitOffsets();
    void ceaFlagsAndInterfaceOf13();
    void audioBlock();
    void audioDescriptorsOfTheirOwn();
    void videoBlockAndSpeakers();
    void hdmiVsdb();
    void hdmi3dDetailAfterEveryStructureFrom8();
    void hdmiForumKeepsTail();
    void capabilityMap_data();
    void capabilityMap();
    void yuv420VideoBlockReadsUnsignedVics();
    void colorimetryAndHdr();
    void infoFrameBlock();
    void furtherExtensionsAreNotDecoded();
    void hexDumpAndBlockMap();
    void blockMapLabels();
    void malformedInputDecodesSafely();
    void mergeRuleMatchesTimingModel();
};

void TestEdidDecode::refusesWhatIsNotAnEdid_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("fragment");
    const QByteArray good = EdidBuilder().build();
    QTest::newRow("empty") << QByteArray() << "has 0 bytes";
    QTest::newRow("127 bytes") << good.left(127) << "has 127 bytes";
    QTest::newRow("200 bytes") << good + QByteArray(72, '\0') << "has 200 bytes";
    QByteArray badHeader = good;
    badHeader[3] = 0;
    QTest::newRow("bad header") << badHeader << "header";
}

void TestEdidDecode::refusesWhatIsNotAnEdid()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, fragment);
    EdidState state;
    state.monitorName = QStringLiteral("untouched");
    QString error;
    EdidDecodeContext context;
    QVERIFY(decodeEdid(bytes, context, &state, &error).isEmpty());
    QVERIFY2(error.contains(fragment), qPrintable(error));
    QCOMPARE(state.monitorName, QStringLiteral("untouched"));
}

void TestEdidDecode::transferCheck_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("fragment"); // empty: accepted
    const QByteArray one = EdidBuilder().build();
    const QByteArray two = EdidBuilder().cea().build();
    QTest::newRow("one block") << one << QString();
    QTest::newRow("two blocks") << two << QString();
    QTest::newRow("empty") << QByteArray() << "has 0";
    QTest::newRow("three blocks") << two + one << "has 384";
    QTest::newRow("torn") << two.left(200) << "has 200";
    QByteArray badHeader = one;
    badHeader[1] = 0;
    EdidBuilder::fixChecksums(&badHeader);
    QTest::newRow("bad header") << badHeader << "header";
    QByteArray badSum = two;
    badSum[140] = char(badSum.at(140) + 1);
    QTest::newRow("second block sum") << badSum << "block 1";
}

void TestEdidDecode::transferCheck()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, fragment);
    const QString error = edidTransferError(bytes);
    if (fragment.isEmpty())
        QVERIFY2(error.isEmpty(), qPrintable(error));
    else
        QVERIFY2(error.contains(fragment), qPrintable(error));
}

void TestEdidDecode::header_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("product code keeps its zeros")
        << EdidBuilder().set(10, {0x05, 0x12}).build() << QStringList{"product code:     1205"};
    QTest::newRow("product code 1BA4") << EdidBuilder().set(10, {0xA4, 0x1B}).build() << QStringList{"product code:     1BA4"};
    QTest::newRow("serial") << EdidBuilder().set(12, {0x01, 0x80, 0, 0}).build() << QStringList{"serial number:    32769"};
    QTest::newRow("no serial") << EdidBuilder().build() << QStringList{"serial number:    N/A", "manufacturer:     VLM"};
    QTest::newRow("date and version") << EdidBuilder().set(16, {12, 30, 1, 3}).build()
                                      << QStringList{"manufacture date: Week 12 of 2020", "edid version:     1.3"};
    QTest::newRow("gamma from extension") << EdidBuilder().set(23, {0xFF}).build()
                                          << QStringList{"Gamma is defined in an extension block"};
    QTest::newRow("gamma 3.55 in 1.3") << EdidBuilder().set(19, {3}).set(23, {0xFF}).build() << QStringList{"Gamma:            3.55"};
    QTest::newRow("size undefined") << EdidBuilder().set(21, {0, 0x20}).build() << QStringList{"Image size is undefined"};
    QTest::newRow("extension count") << EdidBuilder().set(126, {2}).build() << QStringList{"Has 2 extension blocks"};
}

void TestEdidDecode::header()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    const Decoded d = decode(bytes);
    for (const QString& line : lines)
        QVERIFY2(d.text.contains(line + QLatin1Char('\n')), qPrintable(line));
}

void TestEdidDecode::videoInput_data()
{
    QTest::addColumn<int>("revision");
    QTest::addColumn<int>("byte20");
    QTest::addColumn<int>("signalType");
    QTest::addColumn<int>("iface");
    QTest::addColumn<int>("depth");
    QTest::addColumn<QString>("line");
    using S = EdidState;
    QTest::newRow("DP 10 bits") << 4 << 0xB5 << int(S::SignalType::Digital) << int(S::DigitalInterface::DisplayPort)
                                << int(S::ColorBitDepth::Bits10) << "DisplayPort interface";
    QTest::newRow("MDDI 12 bits") << 4 << 0xC4 << int(S::SignalType::Digital) << int(S::DigitalInterface::Unset)
                                  << int(S::ColorBitDepth::Bits12) << "12 bits per primary color channel";
    QTest::newRow("HDMI-b") << 4 << 0xA3 << int(S::SignalType::Digital) << int(S::DigitalInterface::Hdmi)
                            << int(S::ColorBitDepth::Bits8) << "HDMI interface";
    QTest::newRow("1.3 digital alone is DVI") << 3 << 0x81 << int(S::SignalType::Digital) << int(S::DigitalInterface::Dvi)
                                              << int(S::ColorBitDepth::Bits8) << "DFP 1.x compatible TMDS";
    QTest::newRow("analog 0.7/0.0") << 4 << 0x6F << int(S::SignalType::Analog) << int(S::DigitalInterface::Unset)
                                    << int(S::ColorBitDepth::Unset) << "Input voltage level: 0.7/0.0 V";
    QTest::newRow("analog 1.3 pedestal") << 3 << 0x10 << int(S::SignalType::Analog) << int(S::DigitalInterface::Unset)
                                         << int(S::ColorBitDepth::Unset) << "Blank-to-black setup/pedestal";
}

void TestEdidDecode::videoInput()
{
    QFETCH(int, revision);
    QFETCH(int, byte20);
    QFETCH(int, signalType);
    QFETCH(int, iface);
    QFETCH(int, depth);
    QFETCH(QString, line);
    const Decoded d = decode(EdidBuilder().set(19, {revision, byte20}).build());
    QVERIFY2(d.text.contains(line), qPrintable(d.text));
    QCOMPARE(int(d.state.signalType), signalType);
    QCOMPARE(int(d.state.digitalInterface), iface);
    QCOMPARE(int(d.state.colorBitDepth), depth);
    if (signalType == int(EdidState::SignalType::Analog)) {
        QVERIFY(!d.state.rgb444);
        QCOMPARE(d.state.separateSync, bool(byte20 & 0x08));
        QCOMPARE(d.state.serrationVertSync, bool(byte20 & 0x01));
    }
}

void TestEdidDecode::featureSupportFollowsRevision()
{
    // Bits 4-3 = 01b: YCrCb 4:4:4 in a digital 1.4 EDID, an RGB colour display in 1.3.
    const Decoded v14 = decode(EdidBuilder().set(20, {0x80}).set(24, {0xEE}).build());
    QVERIFY(v14.text.contains("Supported color formats: RGB 4:4:4, YCrCb 4:4:4\n"));
    QVERIFY(v14.state.ycbcr444 && !v14.state.ycbcr422);
    QVERIFY(v14.state.standbyMode && v14.state.suspendMode && v14.state.activeOff && v14.state.srgbDefault);
    QVERIFY(v14.state.preferredTimingMode);
    const Decoded v13 = decode(EdidBuilder().set(19, {3, 0x80}).set(24, {0x0A}).build());
    QVERIFY(v13.text.contains("RGB color display\n"));
    QCOMPARE(v13.state.colorType, EdidState::ColorType::Rgb);
    QVERIFY(!v13.text.contains("Supported color formats"));
}

void TestEdidDecode::checksumWarnsOnce()
{
    QByteArray bytes = EdidBuilder().cea().set(127, {0x05}).build(false);
    bytes[255] = 0x33;
    const Decoded d = decode(bytes);
    QCOMPARE(d.warnings, 1);
    QCOMPARE(d.text.count("(invalid)"), 2);
    QVERIFY(d.text.contains("Checksum: 5 (invalid)\n\n"));
    const Decoded good = decode(EdidBuilder().cea().build());
    QCOMPARE(good.warnings, 0);
    QCOMPARE(good.text.count("(valid)"), 2);
}

void TestEdidDecode::establishedAndStandardTimings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name"); // catalogue entry the row comes from; empty: generated
    QTest::addColumn<bool>("interlaced");
    QTest::newRow("720x400@88") << EdidBuilder().set(35, {0x40}).build() << "  720x400@88Hz" << "720x400p @ 88Hz" << false;
    QTest::newRow("640x480@72 is the 72.8 Hz DMT") << EdidBuilder().set(35, {0x08}).build() << "  640x480@72Hz"
                                                   << "640x480p @ 73Hz" << false;
    QTest::newRow("1024x768@87 interlaced") << EdidBuilder().set(36, {0x10}).build() << "  1024x768i@87Hz"
                                            << "1024x768i @ 87Hz" << true;
    QTest::newRow("std D1 C0") << EdidBuilder().set(38, {0xD1, 0xC0}).build() << "  1920x1080@60Hz" << "1920x1080p @ 60Hz" << false;
    QTest::newRow("std 81 80") << EdidBuilder().set(38, {0x81, 0x80}).build() << "  1280x1024@60Hz" << "1280x1024p @ 60Hz" << false;
    QTest::newRow("std 16:10 is not Red Blank") << EdidBuilder().set(38, {0xA9, 0x00}).build() << "  1600x1000@60Hz" << "" << false;
    QTest::newRow("std 1440x900") << EdidBuilder().set(38, {0x95, 0x00}).build() << "  1440x900@60Hz" << "1440x900p @ 60Hz" << false;
    // Generated at 69.2 Hz (the CVT clock step), but listed at the rate the EDID names.
    QTest::newRow("std 640x400@70 keeps 70 Hz") << EdidBuilder().set(38, {0x31, 0x0A}).build() << "  640x400@70Hz" << "" << false;
    // A standard code names DMTs by their nominal rates: 72 Hz is the 72.8 Hz DMT, while 66 Hz
    // is not Apple's 66.7 Hz timing (established only), nor is 67 Hz.
    QTest::newRow("std 31 4C is the 72.8 Hz DMT") << EdidBuilder().set(38, {0x31, 0x4C}).build() << "  640x480@72Hz"
                                                  << "640x480p @ 73Hz" << false;
    QTest::newRow("std 31 46 is generated at 66 Hz") << EdidBuilder().set(38, {0x31, 0x46}).build() << "  640x480@66Hz" << "" << false;
    QTest::newRow("std 31 47 is generated at 67 Hz") << EdidBuilder().set(38, {0x31, 0x47}).build() << "  640x480@67Hz" << "" << false;
    // Codes with first byte 0 (reserved) or 1 (padding) name no timing (empty line: no row).
    QTest::newRow("std 00 00") << EdidBuilder().set(38, {0x00, 0x00}).build() << "" << "" << false;
    QTest::newRow("std 00 40") << EdidBuilder().set(38, {0x00, 0x40}).build() << "" << "" << false;
    QTest::newRow("std 01 00") << EdidBuilder().set(38, {0x01, 0x00}).build() << "" << "" << false;
}

void TestEdidDecode::establishedAndStandardTimings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, line);
    QFETCH(QString, name);
    QFETCH(bool, interlaced);
    const Decoded d = decode(bytes);
    if (line.isEmpty()) {
        QVERIFY2(d.text.contains(QStringLiteral("Standard timings supported:\n\n")), qPrintable(d.text));
        QCOMPARE(d.state.timings.size(), 0);
        return;
    }
    QVERIFY2(d.text.contains(line + QLatin1Char('\n')), qPrintable(d.text));
    QCOMPARE(d.state.timings.size(), 1);
    const Timing& t = d.state.timings.first();
    QCOMPARE(t.ip, interlaced);
    if (name.isEmpty()) {
        QCOMPARE(t.type, QStringLiteral("Custom"));
        QCOMPARE(QStringLiteral("@%1Hz").arg(t.fieldRate), line.mid(line.indexOf(QLatin1Char('@'))));
    } else {
        QCOMPARE(t.name, name);
    }
}

void TestEdidDecode::detailedTimingCustom()
{
    // 148.5 MHz 1080p with 708 x 398 mm: the catalogue's VIC 16 and DMT have the same numbers but
    // this one has no aspect-ratio entry that differs, so it is named after the first match.
    TimingCatalogue empty;
    EdidDecodeContext context;
    context.timings = &empty;
    EdidState s;
    const QString text = decodeEdid(withDtd(dtd1080p).build(), context, &s);
    QCOMPARE(s.timings.size(), 1);
    const Timing& t = s.timings.first();
    QCOMPARE(t.type, QStringLiteral("Custom"));
    QCOMPARE(t.hTotal, 2200);
    QCOMPARE(t.vTotal, 1125);
    QCOMPARE(t.hBack, 148);
    QCOMPARE(t.vBack, 36);
    QCOMPARE(t.hFreq, 67.5);
    QCOMPARE(t.fieldRate, 60);
    QVERIFY(t.hPol && t.vPol && t.dtd);
    QCOMPARE(t.hAspect, 16);
    QVERIFY(text.contains("Detailed timing 1 (Preferred):\n  Pixel clock:     148.500 MHz\n"));
    QVERIFY(text.contains("    Frequency:     67.5\n"));

    // The blanking includes the borders: they leave the line and the rates alone and shorten
    // the back porches (280 - 88 - 44 - 2 x 8 and 45 - 4 - 5 - 2 x 4).
    QList<int> bordered = dtd1080p;
    bordered[15] = 8;
    bordered[16] = 4;
    s = EdidState();
    decodeEdid(withDtd(bordered).build(), context, &s);
    const Timing& b = s.timings.first();
    QCOMPARE(b.hTotal, 2200);
    QCOMPARE(b.vTotal, 1125);
    QCOMPARE(b.hBack, 132);
    QCOMPARE(b.vBack, 28);
    QCOMPARE(b.hFreq, 67.5);
    QCOMPARE(b.fieldRate, 60);

    // Numbering runs through both blocks; only the first is preferred.
    QByteArray two = withDtd(dtd1080p).build();
    for (int i = 0; i < 18; ++i)
        two[72 + i] = char(dtd1080p[i] + (i == 0 ? 1 : 0));
    EdidBuilder::fixChecksums(&two);
    const QString twoText = decodeEdid(two, context, nullptr);
    QVERIFY(twoText.contains("Detailed timing 2:\n"));
}

void TestEdidDecode::detailedTimingPolaritiesFollowSyncType_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("hPol");
    QTest::addColumn<bool>("vPol");
    QTest::newRow("digital separate ++") << 0x1E << true << true;
    QTest::newRow("digital separate +-") << 0x1A << true << false;
    QTest::newRow("digital composite, serrations") << 0x16 << true << false;
    QTest::newRow("analog composite, bits ignored") << 0x06 << false << false;
}

void TestEdidDecode::detailedTimingPolaritiesFollowSyncType()
{
    QFETCH(int, flags);
    QFETCH(bool, hPol);
    QFETCH(bool, vPol);
    QList<int> dtd = dtd1080p;
    dtd[17] = flags;
    const Decoded d = decode(withDtd(dtd).build());
    QCOMPARE(d.state.timings.first().hPol, hPol);
    QCOMPARE(d.state.timings.first().vPol, vPol);
}

void TestEdidDecode::displayDescriptors()
{
    const QByteArray bytes = EdidBuilder()
                                 .displayDescriptor(0, 0xFC, "Monitor")
                                 .displayDescriptor(1, 0xFF, "ABCDEFGHIJKLM")
                                 .displayDescriptor(2, 0xF7, QByteArray::fromHex("0a0102030405060000000000"))
                                 .displayDescriptor(3, 0xFA, QByteArray::fromHex("d1c08180010101010101010101"))
                                 .build();
    const Decoded d = decode(bytes);
    // A name in the first slot is decoded too.
    QVERIFY(d.text.contains("Monitor name: Monitor\n"));
    QCOMPARE(d.state.monitorName, QStringLiteral("Monitor"));
    QVERIFY(d.text.contains("Serial number: ABCDEFGHIJKLM\n"));
    QCOMPARE(d.state.establishedTimings3, QByteArray::fromHex("010203040506"));
    QCOMPARE(d.state.extraStandardTimings.size(), 6);
    QCOMPARE(d.state.extraStandardTimings.first(), QByteArray::fromHex("d1c0"));
    QCOMPARE(d.state.otherDescriptors.size(), 1); // the serial number, kept whole
    QCOMPARE(d.state.otherDescriptors.first().bytes.size(), 18);
}

void TestEdidDecode::rangeLimitOffsets_data()
{
    QTest::addColumn<int>("revision");
    QTest::addColumn<int>("byte4");
    QTest::addColumn<QString>("line");
    QTest::newRow("1.4 max offsets") << 4 << 0x0A << "Monitor ranges (GTF): 10-295Hz V, 30-335kHz H, max pixel clock 170MHz";
    QTest::newRow("1.4 both offsets") << 4 << 0x0F << "Monitor ranges (GTF): 265-295Hz V, 285-335kHz H, max pixel clock 170MHz";
    QTest::newRow("1.3 ignores byte 4") << 3 << 0x0F << "Monitor ranges (GTF): 10-40Hz V, 30-80kHz H, max pixel clock 170MHz";
}

void TestEdidDecode::rangeLimitOffsets()
{
    QFETCH(int, revision);
    QFETCH(int, byte4);
    QFETCH(QString, line);
    const QByteArray bytes =
        EdidBuilder().set(19, {revision}).set(72, {0, 0, 0, 0xFD, byte4, 10, 40, 30, 80, 17, 0, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20}).build();
    const Decoded d = decode(bytes);
    QVERIFY2(d.text.contains(line + QLatin1Char('\n')), qPrintable(d.text));
    QVERIFY(!d.text.contains("byte 4 nonzero"));
    QCOMPARE(d.state.rangeLimitsDescriptor.size(), 18);
}

void TestEdidDecode::ceaFlagsAndInterfaceOf13()
{
    // EDID 1.3, digital: data blocks before the descriptors make it HDMI, none DVI.
    const Decoded hdmi = decode(EdidBuilder().set(19, {3, 0x80}).cea(0xF1).dataBlock(2, {0x90}).build());
    QCOMPARE(hdmi.state.digitalInterface, EdidState::DigitalInterface::Hdmi);
    QVERIFY(hdmi.state.underscan && hdmi.state.basicAudio && hdmi.state.ycbcr444 && hdmi.state.ycbcr422);
    QCOMPARE(hdmi.state.nativeDtdCount, 1);
    QVERIFY(hdmi.text.contains("Underscan ON\nBasic audio support ON\nSupports YCbCr 4:4:4\nSupports YCbCr 4:2:2\n"));
    const Decoded dvi = decode(EdidBuilder().set(19, {3, 0x80}).cea(0).build());
    QCOMPARE(dvi.state.digitalInterface, EdidState::DigitalInterface::Dvi);
    QCOMPARE(dvi.state.colorBitDepth, EdidState::ColorBitDepth::Bits8);
}

void TestEdidDecode::audioBlock()
{
    // Length 7: two whole descriptors; the seventh byte is not a descriptor and nothing is read
    // from the next block.
    QByteArray bytes = EdidBuilder()
                           .cea()
                           .dataBlock(1, {0x09, 0x07, 0x07, 0x15, 0x07, 0x50, 0x7F})
                           .dataBlock(1, {0x7F, 0x07, 0x56, 0x7F, 0x07, 0x68, 0x61, 0x07, 0xAB})
                           .build();
    const Decoded d = decode(bytes);
    QVERIFY(d.text.contains("Broken CEA audio block length 7\n"));
    QCOMPARE(d.state.audioDescriptorBytes.size(), 5);
    QCOMPARE(d.state.audioFormats.size(), 4);
    const AudioFormat& pcm = d.state.audioFormats.at(0);
    QCOMPARE(pcm.type, 1);
    QCOMPARE(pcm.channels, 2);
    QCOMPARE(pcm.samplingFreqs, (QList<double>{48, 44.1, 32}));
    QCOMPARE(pcm.bitDepths, (QList<int>{24, 20, 16}));
    QCOMPARE(d.state.audioFormats.at(1).maxBitRate, 640);
    const AudioFormat& aac = d.state.audioFormats.at(2);
    QCOMPARE(aac.type, 20);
    QCOMPARE(aac.audioFrameLength, (QList<int>{1024, 960}));
    QVERIFY(!aac.mpegSurroundExplicit);
    // Extension type 13 is not one the table knows: kept as read.
    QCOMPARE(d.state.unknownAudioDescriptors, (QList<QByteArray>{QByteArray::fromHex("7f0768")}));
    // Code 12 (MAT): its byte 3 stays in the kept bytes.
    QCOMPARE(d.state.audioDescriptorBytes.last(), QByteArray::fromHex("6107ab"));
    QCOMPARE(d.state.audioFormats.at(3).type, 12);
}

void TestEdidDecode::audioDescriptorsOfTheirOwn()
{
    // DTS-HD twice with different byte-3 values, the first once more, then AC-4.
    const QByteArray bytes = EdidBuilder()
                                 .cea(0x40)
                                 .dataBlock(1, {0x5F, 0x07, 0x07, 0x5F, 0x07, 0x01, 0x5F, 0x07, 0x07, 0x7D, 0x07, 0x60})
                                 .build();
    const Decoded d = decode(bytes);
    QCOMPARE(d.state.audioFormats.size(), 2);
    QCOMPARE(d.state.audioFormats.at(0), d.state.audioFormats.at(1));
    QCOMPARE(d.state.audioFormats.at(0).type, 11);
    QCOMPARE(d.state.unknownAudioDescriptors, QList<QByteArray>{QByteArray::fromHex("7d0760")});
    QVERIFY2(d.text.contains(QStringLiteral("  AC-4\n    Supported sample rates (kHz): 48 44.1 32\n")), qPrintable(d.text));
}

void TestEdidDecode::videoBlockAndSpeakers()
{
    const Decoded d = decode(EdidBuilder().cea().dataBlock(2, {0x90, 0x41, 0x80, 0x05}).dataBlock(4, {0x0B, 0x05, 0x00}).build());
    QCOMPARE(d.state.videoBlockVics, (QList<int>{16, 65, 128, 5}));
    QCOMPARE(d.state.nativeVics, (QList<int>{16}));
    QVERIFY(d.text.contains("  VIC 16 1920x1080p@60Hz (native)\n"));
    QVERIFY(d.text.contains("  VIC 05 1920x1080i@60Hz \n"));
    QCOMPARE(d.state.vicSlots.size(), 3); // 16, 65 and 5; 128 is no timing
    QVERIFY(d.state.speakerFL && d.state.speakerFR && d.state.speakerLFE && d.state.speakerRL && d.state.speakerRR);
    QVERIFY(!d.state.speakerFC && d.state.speakerFCH && d.state.speakerFLH);
    QVERIFY(d.text.contains("  Rear Left/Right\n  Low Frequency Effects\n  Front Left/Right\n  Front Center High\n"));

    // A VIC listed twice, first with the native bit: its one row stays native, so saving keeps
    // the monitor's native format.
    const Decoded twice = decode(EdidBuilder().cea().dataBlock(2, {0x90, 0x04, 0x10}).build());
    QCOMPARE(twice.state.timings.size(), 2);
    QVERIFY(twice.state.timings.first().native);
    QVERIFY(!twice.state.timings.last().native);
}

void TestEdidDecode::hdmiVsdb()
{
    const Decoded d = decode(EdidBuilder()
                                 .cea()
                                 .dataBlock(2, {0x90})
                                 .dataBlock(3, {0x03, 0x0C, 0x00, 0x10, 0x00, 0xB9, 0x44, 0xE0, 0, 21, 1, 255,
                                                0x58, 0x20, 0x01, 0x02})
                                 .build());
    QVERIFY(d.text.contains("Vendor-specific data block, OUI 000C03 (HDMI 1.4b)\n  Source physical address 1.0.0.0\n"));
    QVERIFY(d.state.supportsAI && d.state.dc30bit && d.state.dcY444 && d.state.dviDual && !d.state.dc48bit);
    QCOMPARE(d.state.maxTmdsClock, QStringLiteral("340"));
    QCOMPARE(d.state.latencyProgressiveVideo, QString());
    QCOMPARE(d.state.latencyProgressiveAudio, QStringLiteral("40"));
    QCOMPARE(d.state.latencyInterlacedVideo, QStringLiteral("0"));
    QCOMPARE(d.state.latencyInterlacedAudio, QStringLiteral("255"));
    QVERIFY(d.text.contains("  Interlaced Audio latency: Interlaced Audio not supported\n"));
    QCOMPARE(d.state.hdmiImageSize, 3);
    QCOMPARE(d.state.hdmiVics, (QList<int>{1}));
    QVERIFY(d.text.contains("    HDMI VIC 1 3840x2160@30Hz\n"));
    int hdmiRows = 0;
    for (const Timing& t : d.state.timings)
        hdmiRows += t.hdmiBlock;
    QCOMPARE(hdmiRows, 1);
    // The second HDMI VIC lies past the block's end: not read.
    const Decoded other = decode(EdidBuilder().cea().dataBlock(3, {0x1A, 0x00, 0x00, 0x01}).build());
    QVERIFY(other.text.contains("OUI 00001A ()\n"));
    QCOMPARE(other.state.otherDataBlocks.size(), 1);
}

void TestEdidDecode::hdmi3dDetailAfterEveryStructureFrom8()
{
    // 3D present, 3D_Multi_present 2, HDMI_3D_LEN 9: structure-all, mask 0x0005, then index 1
    // side-by-side (8) with its detail byte, then index 2 structure 9 with its detail, and
    // index 3 top-and-bottom.
    const Decoded d = decode(EdidBuilder()
                                 .cea()
                                 .dataBlock(3, {0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x00, 0x20, 0xC0, 0x09, 0x01,
                                                0x41, 0x00, 0x05, 0x18, 0x10, 0x29, 0x30, 0x36})
                                 .build());
    QCOMPARE(d.state.threeDStructureAll, 0x0141);
    QCOMPARE(d.state.threeDMask, 0x0005);
    QVERIFY(d.text.contains("    3D VIC indices: 0 2\n"));
    QCOMPARE(d.state.vicThreeDStructures[1], 1 << 8);
    QCOMPARE(d.state.vicThreeDDetails[1], 1);
    QCOMPARE(d.state.vicThreeDStructures[2], 1 << 9);
    QCOMPARE(d.state.vicThreeDDetails[2], 3);
    QCOMPARE(d.state.vicThreeDStructures[3], 1 << 6);
    QVERIFY(d.text.contains("    VIC index 1 supports side-by-side (half, horizontal)\n"));
    QVERIFY(d.text.contains("    VIC index 3 supports top-and-bottom\n"));
}

void TestEdidDecode::hdmiForumKeepsTail()
{
    const Decoded d = decode(EdidBuilder().cea().dataBlock(3, {0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x88, 0x03, 0x30, 0x0F, 0x90}).build());
    QVERIFY(d.state.hfVsdbPresent);
    QCOMPARE(d.state.hfVsdbVersion, 1);
    QCOMPARE(d.state.hfVsdbMaxTmdsRate, 0x78);
    QCOMPARE(d.state.hfVsdbFlags6, 0x88);
    QCOMPARE(d.state.hfVsdbFlags7, 0x03);
    QCOMPARE(d.state.hfVsdbTail, QByteArray::fromHex("300f90"));
    QVERIFY(d.text.contains("  SCDC_Present\n  LTE_340Mcsc_scramble\n"));
    QVERIFY(d.text.contains("  TMDS Character Rate: 600Mhz\n"));
}

void TestEdidDecode::capabilityMap_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<int>>("vics");
    QTest::newRow("bits 0 and 2") << EdidBuilder().cea().dataBlock(2, {16, 4, 97}).extendedBlock(15, {0x05}).build()
                                  << QList<int>{16, 97};
    QTest::newRow("no bitmap: all SVDs") << EdidBuilder().cea().dataBlock(2, {16, 4}).extendedBlock(15, {}).build()
                                         << QList<int>{16, 4};
    QTest::newRow("across two video blocks") << EdidBuilder().cea().dataBlock(2, {16}).dataBlock(2, {4, 97}).extendedBlock(15, {0x06}).build()
                                             << QList<int>{4, 97};
    QTest::newRow("map before the video block") << EdidBuilder().cea().extendedBlock(15, {0x02}).dataBlock(2, {16, 97}).build()
                                                << QList<int>{97};
}

void TestEdidDecode::capabilityMap()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<int>, vics);
    const Decoded d = decode(bytes);
    QCOMPARE(d.state.yuv420CapabilityVics, vics);
    for (const Timing& t : d.state.timings)
        QCOMPARE(t.subsampling, vics.contains(t.vic) ? 2 : 0);
}

void TestEdidDecode::yuv420VideoBlockReadsUnsignedVics()
{
    const Decoded d = decode(EdidBuilder().cea().extendedBlock(14, {0x61, 0x66, 0xC1}).build());
    QCOMPARE(d.state.yuv420Vics, (QList<int>{97, 102, 193}));
    int rows = 0;
    for (const Timing& t : d.state.timings) {
        QCOMPARE(t.subsampling, 1);
        QVERIFY(t.videoBlock);
        ++rows;
    }
    QCOMPARE(rows, 3); // VIC 193 is a catalogue timing as well
    QVERIFY(d.text.contains("  VIC 193 "));
}

void TestEdidDecode::colorimetryAndHdr()
{
    const Decoded d = decode(EdidBuilder().cea().extendedBlock(5, {0xC1, 0x80}).extendedBlock(6, {0x0D, 0x01, 0x96, 0x78, 0x10}).build());
    QCOMPARE(d.state.colorimetry, (std::array<bool, 9>{true, false, false, false, false, false, true, true, true}));
    QVERIFY(d.text.contains("xvYCC601 supported\nBT2020YCC supported\nBT2020RGB supported\nDCI-P3 supported\n"));
    QVERIFY(d.state.enableHdr && d.state.hdrSdr && !d.state.hdrHdr && d.state.hdrSmpte2084 && d.state.hdrHlg);
    QVERIFY(d.text.contains("SMPTE ST 2084 supported\n"));
    QVERIFY(d.state.hdrStaticMetaDataSupport);
    QCOMPARE(d.state.contentMaxLuminance, QStringLiteral("150"));
    QCOMPARE(d.state.contentMinLuminance, QStringLiteral("16"));
    const Decoded shortHdr = decode(EdidBuilder().cea().extendedBlock(6, {0x05, 0x01}).build());
    QVERIFY(shortHdr.state.contentMaxLuminance.isEmpty());
    QVERIFY(!shortHdr.text.contains("Luminance"));
}

void TestEdidDecode::infoFrameBlock()
{
    // Processing descriptor without payload, one extra VSIF; short descriptors: a vendor-specific
    // InfoFrame with its OUI, then Dynamic Range and Mastering (type 7) with two payload bytes.
    const QByteArray bytes =
        EdidBuilder().cea().extendedBlock(0x20, {0x00, 0x01, 0x01, 0xD8, 0x5D, 0xC4, 0x47, 0x11, 0x22}).build();
    const Decoded yes = decode(bytes, [] { return true; });
    QVERIFY(yes.text.contains("InfoFrame type 1 (vendor-specific), OUI C45DD8\n"));
    QVERIFY(yes.text.contains("HDR Static Metadata exists\n"));
    QVERIFY(yes.state.hdrStaticMetaDataSupport);
    QCOMPARE(yes.state.hdrStaticMetaData, QByteArray::fromHex("1122"));
    QCOMPARE(yes.state.infoFrameBlock.size(), 11);
    int asked = 0;
    const Decoded no = decode(bytes, [&asked] { ++asked; return false; });
    QCOMPARE(asked, 1);
    QVERIFY(!no.state.hdrStaticMetaDataSupport);
    QVERIFY(no.state.hdrStaticMetaData.isEmpty());
}

void TestEdidDecode::furtherExtensionsAreNotDecoded()
{
    QByteArray bytes = EdidBuilder().cea().dataBlock(2, {16}).build();
    bytes.append(QByteArray(256, '\x70'));
    bytes[126] = 3;
    EdidBuilder::fixChecksums(&bytes);
    const Decoded d = decode(bytes);
    QVERIFY(d.text.contains("Further extension blocks are not supported: 2 blocks not decoded\n"));
    QCOMPARE(d.text.count("Checksum:"), 2);
    QVERIFY(d.state.hasCeaExtension);
}

void TestEdidDecode::hexDumpAndBlockMap()
{
    const QByteArray bytes = EdidBuilder().cea(0x40).dataBlock(1, {0x09, 0x07, 0x07}).ceaDescriptor({0x02, 0x3A}).build();
    const QString dump = edidHexDump(bytes);
    QVERIFY(dump.startsWith("   | 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\n"
                            "---+-------------------------------------------------\n"
                            "00 | 00 FF FF FF FF FF FF 00 59 8D 00 00 00 00 00 00 \n"));
    QCOMPARE(dump.count('\n'), 2 + 16 + 1);
    QVERIFY(dump.contains("F0 | "));
    const QString map = edidBlockMap(bytes);
    const QString expected = QStringLiteral(
        "header:         00 FF FF FF FF FF FF 00 \n"
        "serial number:  59 8D 00 00 00 00 00 00 00 00 \n"
        "version:        01 04 \n"
        "basic params:   80 34 1D 78 00 \n"
        "chroma info:    00 00 00 00 00 00 00 00 00 00 \n"
        "established:    00 00 00 \n"
        "standard:       01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 \n"
        "descriptor 1:   00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \n"
        "descriptor 2:   00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \n"
        "descriptor 3:   00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \n"
        "descriptor 4:   00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \n"
        "extensions:     01 \n"
        "checksum:       %1 \n"
        "\n"
        "extension header:  02 03 08 \n"
        "display supports:  40 \n"
        "audio:             23 09 07 07 \n"
        "descriptor 1:      02 3A 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \n"
        "padding:           ");
    QVERIFY2(map.startsWith(expected.arg(QString::number(quint8(bytes.at(127)), 16).toUpper().rightJustified(2, '0'))), qPrintable(map));
    QVERIFY(map.endsWith(QStringLiteral("checksum:          %1 \n\n").arg(QString::number(quint8(bytes.at(255)), 16).toUpper().rightJustified(2, '0'))));
    // A 128-byte EDID: 8 rows and no extension rows.
    QCOMPARE(edidHexDump(bytes.left(128)).count('\n'), 2 + 8 + 1);
    QVERIFY(!edidBlockMap(bytes.left(128)).contains("extension header"));
}

void TestEdidDecode::blockMapLabels()
{
    QCOMPARE(dataBlockShortName(0x1A, true), QStringLiteral("rsvd audio 1a"));
    QCOMPARE(dataBlockShortName(6, false), QStringLiteral("unknown 6"));
    QCOMPARE(dataBlockShortName(9, true), QStringLiteral("rsvd video 9"));
    QCOMPARE(dataBlockShortName(32, true), QStringLiteral("InfoFrame"));
    // A label longer than the column gets no blank after its colon.
    const QString map = edidBlockMap(EdidBuilder().cea().extendedBlock(6, {0x01, 0x01}).build());
    QVERIFY(map.contains("HDR Static Metadata:E3 06 01 01 \n"));
    // Six descriptors from byte 147: the sixth ends at 254 and the padding row is empty.
    QByteArray six = EdidBuilder().cea().build();
    six[130] = 19;
    for (int k = 0; k < 6; ++k)
        six[147 + 18 * k] = 0x01;
    QVERIFY(edidBlockMap(six).contains("descriptor 6:      01 "));
    QVERIFY(edidBlockMap(six).contains("padding:           \n"));
}

void TestEdidDecode::malformedInputDecodesSafely()
{
    // Every data block kind with every length byte, blocks running past the collection, offsets
    // past the block, broken descriptors, bad checksums, and 384- and 512-byte EDIDs: the decode
    // must finish, read nothing outside the blocks (the sanitizer build checks) and keep going.
    EdidDecodeContext context;
    context.timings = &catalogue();
    int decoded = 0;
    for (int tag = 0; tag < 8; ++tag) {
        for (int len = 0; len < 32; ++len) {
            for (int fill : {0x00, 0xFF, 0x5A}) {
                QByteArray bytes = EdidBuilder().cea().build();
                bytes[130] = char(4 + 1 + len > 127 ? 127 : 4 + 1 + len);
                bytes[132] = char(tag << 5 | len);
                for (int i = 133; i < 255; ++i)
                    bytes[i] = char(fill ^ (i * 7));
                if (tag == 3) {
                    bytes[133] = 0x03, bytes[134] = 0x0C, bytes[135] = 0x00;
                    if (fill == 0x5A)
                        bytes[133] = char(0xD8), bytes[134] = 0x5D, bytes[135] = char(0xC4);
                }
                if (tag == 7 && len > 0)
                    bytes[133] = char(fill == 0xFF ? 32 : (fill == 0 ? 15 : 14));
                EdidState s;
                QVERIFY(!decodeEdid(bytes, context, &s).isEmpty());
                ++decoded;
            }
        }
    }
    for (int d = 0; d < 256; d += 3) {
        QByteArray bytes = EdidBuilder().cea().build(false);
        bytes[130] = char(d);
        for (int i = 131; i < 256; ++i)
            bytes[i] = char(i * 13 + d);
        EdidState s;
        QVERIFY(!decodeEdid(bytes, context, &s).isEmpty());
        ++decoded;
    }
    for (int size : {384, 512}) {
        QByteArray bytes = EdidBuilder().cea().dataBlock(2, {16}).build();
        bytes.append(QByteArray(size - 256, '\xFF'));
        EdidState s;
        QVERIFY(decodeEdid(bytes, context, &s).contains("Further extension blocks are not supported"));
        // Truncating to any non-multiple of 128 is refused.
        QString error;
        QVERIFY(decodeEdid(bytes.left(size - 5), context, &s, &error).isEmpty());
        QVERIFY(!error.isEmpty());
        ++decoded;
    }
    QVERIFY(decoded > 700);
}

void TestEdidDecode::mergeRuleMatchesTimingModel()
{
    // The state's rows follow the table model's rule: repeats merge into their row, a detailed
    // timing that repeats a row moves it up among the detailed timings.
    const TimingCatalogue& c = catalogue();
    QList<Timing> sequence;
    for (const Timing& t : c.timings) {
        if (t.vic == 16 || t.vic == 4 || t.name == QLatin1String("640x480p @ 60Hz"))
            sequence.append(t);
    }
    QCOMPARE(sequence.size(), 3);
    sequence[0].established = true;
    sequence[1].videoBlock = true;
    sequence[2].videoBlock = true;
    sequence[2].native = true;
    Timing dtd = sequence[2];
    dtd.videoBlock = false;
    dtd.dtd = true;
    sequence.append(dtd);
    Timing custom;
    custom.type = QStringLiteral("Custom");
    custom.hActive = 100;
    custom.dtd = true;
    sequence.append(custom);

    TimingModel model;
    QList<Timing> rows;
    int dtdCount = 0;
    for (const Timing& t : sequence) {
        model.addTiming(t);
        EdidRules::addTiming(&rows, &dtdCount, t);
    }
    QCOMPARE(rows.size(), model.rowCount());
    for (int i = 0; i < rows.size(); ++i) {
        QVERIFY(TimingModel::sameTiming(rows.at(i), model.getTiming(i)));
        QCOMPARE(rows.at(i).dtd, model.getTiming(i).dtd);
        QCOMPARE(rows.at(i).videoBlock, model.getTiming(i).videoBlock);
    }
    QCOMPARE(dtdCount, 2);
    QCOMPARE(rows.first().vic, sequence[2].vic);
}

PLEXA_TEST_MAIN(TestEdidDecode)
#include "tst_edid_decode.moc"
