// libFuzzer target for the EDID decoder: any byte string, decoded with and without a state.
// Build with clang: -fsanitize=fuzzer,address,undefined.

#include "ediddecoder.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1024)
        return 0;
    QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    // Most inputs would be refused for their size or header; give the fuzzer EDID-shaped input
    // too by rounding it up to whole blocks under a valid header.
    static TimingCatalogue noTimings;
    EdidDecodeContext context;
    context.timings = &noTimings;
    context.keepHdrStaticMetadata = [] { return true; };
    EdidState state;
    decodeEdid(bytes, context, &state);
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
