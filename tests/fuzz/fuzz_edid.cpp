// libFuzzer target for the EDID decoder and encoder: any byte string, decoded with and without a
// state, against the program's own timing and audio catalogues (so the catalogue matches, the
// merge rule and the VIC slots are exercised too). Each decoded state is then written both ways
// the editor writes it (as read, and rebuilt as after an edit of every part) and decoded again:
// what the editor shows must be the same. Built and run by run-fuzz.sh with clang:
// -fsanitize=fuzzer,address,undefined.

#include "ediddecoder.h"
#include "edidencoder.h"

#include <QByteArray>
#include <QStringList>
#include <QtGlobal>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// The catalogues are compiled in as resources; Q_INIT_RESOURCE must stand outside any namespace.
static void initResources()
{
    Q_INIT_RESOURCE(catalogues);
}

namespace {
struct Catalogues
{
    TimingCatalogue timings;
    AudioCatalogue audio;
    Catalogues()
    {
        // The decoder's debug lines (bad checksums, overlong blocks) would only slow the run.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        initResources();
        if (!loadTimingCatalogue(QStringLiteral(":/catalogues/timings.xml"), &timings)
            || !loadAudioCatalogue(QStringLiteral(":/catalogues/audio.xml"), &audio)) {
            std::fprintf(stderr, "fuzz_edid: the shipped catalogues could not be read\n");
            std::abort();
        }
    }
};
} // namespace

namespace {

QString flag(bool b)
{
    return b ? QStringLiteral("1") : QStringLiteral("0");
}

// What the editor shows of a state: its choices and texts, and the rows of the timing and audio
// tables with their check columns.
QStringList shown(const EdidState& s)
{
    QStringList l;
    l << QStringLiteral("interface %1 %2 depth %3 level %4 setup %5 sync %6%7%8%9")
             .arg(int(s.signalType))
             .arg(int(s.digitalInterface))
             .arg(int(s.colorBitDepth))
             .arg(int(s.signalLevel))
             .arg(int(s.videoSetup))
             .arg(flag(s.separateSync), flag(s.compositeSyncHoriz), flag(s.compositeSyncGreen), flag(s.serrationVertSync));
    l << QStringLiteral("size %1 aspect %2").arg(s.displaySize).arg(s.aspectRatio);
    l << QStringLiteral("features %1%2%3 %4%5%6 colour %7")
             .arg(flag(s.standbyMode), flag(s.suspendMode), flag(s.activeOff), flag(s.rgb444), flag(s.ycbcr444),
                  flag(s.ycbcr422))
             .arg(int(s.colorType));
    l << QStringList{s.redX, s.redY, s.greenX, s.greenY, s.blueX, s.blueY, s.whiteX, s.whiteY}.join(QLatin1Char(' '));
    l << QStringLiteral("name [%1]").arg(s.monitorName);
    for (const Timing& t : s.timings) {
        l << QStringLiteral("timing %1 %2 vic %3/%4 %5x%6%7 %8 MHz h %9 %10 %11 %12 %13 v %14 %15 %16 %17 %18 %19x%20 mm "
                            "est %21 std %22 vb %23 dtd %24 hdmi %25 native %26 420 %27")
                 .arg(t.type, t.name)
                 .arg(t.vic)
                 .arg(t.hdmiVic)
                 .arg(t.hActive)
                 .arg(t.vActive)
                 .arg(t.ip ? QStringLiteral("i") : QStringLiteral("p"))
                 .arg(t.pixelFreq, 0, 'f', 2)
                 .arg(t.hBlank)
                 .arg(t.hFront)
                 .arg(t.hSync)
                 .arg(t.hBorder)
                 .arg(flag(t.hPol))
                 .arg(t.vBlank)
                 .arg(t.vFront)
                 .arg(t.vSync)
                 .arg(t.vBorder)
                 .arg(flag(t.vPol))
                 .arg(t.hSize)
                 .arg(t.vSize)
                 .arg(flag(t.established), flag(t.standard), flag(t.videoBlock), flag(t.dtd), flag(t.hdmiBlock),
                      flag(t.native))
                 .arg(t.subsampling);
    }
    l << QStringLiteral("cta %1 underscan %2 audio %3").arg(flag(s.hasCeaExtension), flag(s.underscan), flag(s.basicAudio));
    for (const AudioFormat& f : s.audioFormats) {
        QStringList rates;
        for (double r : f.samplingFreqs)
            rates << QString::number(r);
        QStringList depths, frames;
        for (int d : f.bitDepths)
            depths << QString::number(d);
        for (int k : f.audioFrameLength)
            frames << QString::number(k);
        l << QStringLiteral("audio %1 [%2] %3ch %4 / %5 / %6 kHz / %7 / %8")
                 .arg(f.type)
                 .arg(f.name)
                 .arg(f.channels)
                 .arg(rates.join(QLatin1Char(',')), depths.join(QLatin1Char(',')))
                 .arg(f.maxBitRate)
                 .arg(frames.join(QLatin1Char(',')), flag(f.mpegSurroundExplicit));
    }
    l << QStringLiteral("speakers %1%2%3%4%5%6%7%8%9")
             .arg(flag(s.speakerFL), flag(s.speakerFR), flag(s.speakerLFE), flag(s.speakerFC), flag(s.speakerRL),
                  flag(s.speakerRR), flag(s.speakerRC), flag(s.speakerFLC), flag(s.speakerFRC))
      << QStringLiteral("speakers %1%2%3%4%5%6%7%8")
             .arg(flag(s.speakerRLC), flag(s.speakerRRC), flag(s.speakerFLW), flag(s.speakerFRW), flag(s.speakerFLH),
                  flag(s.speakerFRH), flag(s.speakerTC), flag(s.speakerFCH));
    l << QStringLiteral("hdmi address %1.%2.%3.%4 ai %5 dc %6%7%8%9")
             .arg(s.physicalAddress[0])
             .arg(s.physicalAddress[1])
             .arg(s.physicalAddress[2])
             .arg(s.physicalAddress[3])
             .arg(flag(s.supportsAI), flag(s.dc48bit), flag(s.dc36bit), flag(s.dc30bit), flag(s.dcY444));
    // The HDMI 1.4 block tells TMDS clocks up to 340 MHz; a faster one is written as 340 (the
    // HDMI Forum block tells those). No clock and 0 MHz are one thing: a block that needs its
    // rate byte (for the flags after it) writes an empty field as 0, which reads back as 0 MHz.
    const double mhz = s.maxTmdsClock.toDouble();
    const QString tmds = mhz > 340 ? QStringLiteral("340") : mhz <= 0 ? QString() : s.maxTmdsClock;
    l << QStringLiteral("tmds [%1] content %2%3%4%5 latency [%6] [%7] [%8] [%9]")
             .arg(tmds, flag(s.graphicsContent), flag(s.photoContent), flag(s.cinemaContent),
                  flag(s.gameContent), s.latencyProgressiveVideo, s.latencyProgressiveAudio, s.latencyInterlacedVideo,
                  s.latencyInterlacedAudio);
    // An image size the EDID does not give (-1) leaves the drop-down at its first entry.
    l << QStringLiteral("3d %1 image size %2").arg(flag(s.threeDPresent)).arg(qMax(0, s.hdmiImageSize));
    QString colorimetry;
    for (bool b : s.colorimetry)
        colorimetry += flag(b);
    l << QStringLiteral("colorimetry %1 hdr %2 %3%4%5%6 [%7] [%8] [%9]")
             .arg(colorimetry, flag(s.enableHdr), flag(s.hdrSdr), flag(s.hdrHdr), flag(s.hdrSmpte2084), flag(s.hdrHlg),
                  s.contentMaxLuminance, s.contentMaxFrameAvgLuminance, s.contentMinLuminance);
    return l;
}

// The timing rows in an order of their own: the table lists rows in the order the decoder meets
// them, and a rebuilt EDID puts its data blocks in the encoder's order.
QStringList timingOrderFree(QStringList l)
{
    QStringList timings;
    for (int k = l.size() - 1; k >= 0; --k) {
        if (l.at(k).startsWith(QLatin1String("timing ")))
            timings.append(l.takeAt(k));
    }
    std::sort(timings.begin(), timings.end());
    return l + timings;
}

// Writes the state of `edid` both ways and decodes the result: a refused state is fine (the
// editor says why), an accepted one must be a valid EDID that shows what the state showed.
// The rebuilt way keeps the size the EDID has; an extension that is not CTA-861 has nothing to
// be rebuilt from (the editor writes it back as read), so it is written as read only.
void checkEncoder(const QByteArray& edid, const EdidState& state, const EdidDecodeContext& context)
{
    QStringList before;
    const bool foreignExtension = edid.size() > 128 && quint8(edid.at(128)) != 0x02;
    for (int way = 0; way < (foreignExtension ? 1 : 2); ++way) {
        EdidState s = state;
        if (way == 1) {
            s.originState.reset();
            s.originBytes.clear();
            s.edidSize = edid.size() > 128 ? EdidState::EdidSize::Blocks2 : EdidState::EdidSize::Blocks1;
        }
        const EdidEncodeResult r = encodeEdid(s);
        if (!r.ok())
            continue;
        QString error;
        EdidState back;
        decodeEdid(r.bytes, context, &back, &error);
        if (!error.isEmpty() || (r.bytes.size() != 128 && r.bytes.size() != 256)) {
            std::fprintf(stderr, "fuzz_edid: the encoder wrote what is not an EDID: %s\n", qPrintable(error));
            std::abort();
        }
        // After a build the table's check columns show where each row landed; a row that found
        // no room anywhere shows none and is not in the EDID.
        EdidState built = s;
        built.timings.clear();
        for (int i = 0; i < s.timings.size() && i < r.placements.size(); ++i) {
            const EdidTimingPlacement& p = r.placements.at(i);
            Timing t = s.timings.at(i);
            t.established = p.established;
            t.standard = p.standard;
            t.videoBlock = p.videoBlock;
            t.dtd = p.dtd;
            t.hdmiBlock = p.hdmiBlock;
            if (t.established || t.standard || t.videoBlock || t.dtd || t.hdmiBlock)
                built.timings.append(t);
        }
        // Only a detailed timing descriptor stores an image size: a row that did not get one (no
        // room left) comes back with the size its catalogue entry gives, so sizes are compared
        // for detailed timings only.
        for (EdidState* side : {&built, &back}) {
            for (Timing& t : side->timings) {
                if (!t.dtd)
                    t.hSize = t.vSize = 0;
            }
        }
        before = shown(built);
        QStringList after = shown(back);
        if (way == 1) {
            before = timingOrderFree(before);
            after = timingOrderFree(after);
        }
        if (after != before) {
            std::fprintf(stderr, "fuzz_edid: written %s, the editor shows something else\n",
                         way == 0 ? "as read" : "rebuilt");
            for (int k = 0; k < qMax(before.size(), after.size()); ++k) {
                if (before.value(k) != after.value(k))
                    std::fprintf(stderr, "  was: %s\n  now: %s\n", qPrintable(before.value(k)), qPrintable(after.value(k)));
            }
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1024)
        return 0;
    static const Catalogues catalogues;
    QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    EdidDecodeContext context;
    context.timings = &catalogues.timings;
    context.audio = &catalogues.audio;
    context.checksumWarning = [] {};
    // Answer the keep-HDR question from the input, so both answers are explored.
    const bool keepHdr = size > 0 && (data[size - 1] & 1);
    context.keepHdrStaticMetadata = [keepHdr] { return keepHdr; };
    context.editMode = size > 1 && (data[size - 2] & 1);
    EdidState state;
    decodeEdid(bytes, context, &state);
    // Most inputs would be refused for their size or header; give the fuzzer EDID-shaped input
    // too by rounding it up to whole blocks under a valid header.
    if (size >= 8) {
        QByteArray shaped = bytes;
        const char header[8] = {0, char(0xFF), char(0xFF), char(0xFF), char(0xFF), char(0xFF), char(0xFF), 0};
        shaped.replace(0, 8, QByteArray(header, 8));
        shaped.append(QByteArray((128 - shaped.size() % 128) % 128, '\0'));
        EdidState shapedState;
        decodeEdid(shaped, context, &shapedState);
        decodeEdid(shaped, context, nullptr);
        if (shaped.size() <= 256)
            checkEncoder(shaped, shapedState, context);
    }
    return 0;
}
