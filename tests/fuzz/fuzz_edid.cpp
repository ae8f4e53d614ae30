// libFuzzer target for the EDID decoder: any byte string, decoded with and without a state,
// against the program's own timing and audio catalogues (so the catalogue matches, the merge
// rule and the VIC slots are exercised too). Built and run by run-fuzz.sh with clang:
// -fsanitize=fuzzer,address,undefined.

#include "ediddecoder.h"

#include <QByteArray>
#include <QtGlobal>

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
    }
    return 0;
}
