// libFuzzer target for the Intel HEX reader: arbitrary text under the boot loader's model and under
// a model chosen by the first byte (window start and size, skipped field, start-segment and
// end-record rules). Checks: no crash; an accepted image never reaches past its window, starts at
// the window, is empty or ends in a byte a record placed, holds every record it lists inside the
// window and outside the skipped field; a refusal names a line inside the text; and the reader
// answers the same for LF and CR LF line ends. Built and run by run-fuzz.sh with clang:
// -fsanitize=fuzzer,address,undefined.

#include "intelhex.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_intelhex: %s\n", what);
    std::abort();
}

void check(const QByteArray& text, const IntelHex::AddressModel& model)
{
    const IntelHex::Result r = IntelHex::parse(text, model);
    if (!r.ok) {
        if (r.error.isEmpty())
            fail("a refusal without a reason");
        if (r.line < 0 || r.line > text.count('\n') + 1)
            fail("a refusal names a line the text does not have");
        return;
    }
    const IntelHex::Image& image = r.image;
    if (image.start != model.windowStart)
        fail("the image does not start at the window");
    if (quint64(image.bytes.size()) > model.windowSize)
        fail("the image reaches past the window");
    if (model.requireEndOfFile && !image.endOfFile)
        fail("accepted without an end record");
    if (image.records.isEmpty() != image.bytes.isEmpty())
        fail("records and image disagree");
    quint64 top = 0;
    for (auto it = image.records.cbegin(); it != image.records.cend(); ++it) {
        const quint64 first = it.key();
        const quint64 end = first + quint64(it.value());
        if (first < model.windowStart || end > quint64(model.windowStart) + model.windowSize)
            fail("a record outside the window");
        top = qMax(top, end);
    }
    if (!image.records.isEmpty() && quint64(image.bytes.size()) != top - model.windowStart)
        fail("the image does not end at the highest record");
    QByteArray crlf = text;
    crlf.replace("\r\n", "\n").replace("\n", "\r\n");
    const IntelHex::Result again = IntelHex::parse(crlf, model);
    if (!again.ok || again.image.bytes != image.bytes || again.image.records != image.records)
        fail("CR LF line ends change the result");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray text(reinterpret_cast<const char*>(data) + 1, int(size) - 1);
    check(text, IntelHex::AddressModel::bootLoader64K());

    const uint8_t flags = data[0];
    IntelHex::AddressModel model;
    model.windowStart = (flags & 3) == 0 ? 0 : (flags & 3) == 1 ? 0x100 : (flags & 3) == 2 ? 0x08005800 : 0xFFFFF000;
    model.windowSize = (flags & 4) ? 0x1000 : 0x20000;
    if (flags & 8) {
        model.skipFieldFrom = 0x10;
        model.skipFieldTo = 0x1F;
    }
    model.allowStartSegment = (flags & 16) == 0;
    model.requireEndOfFile = (flags & 32) == 0;
    check(text, model);
    return 0;
}
