// libFuzzer target for the discovery datagram parser: arbitrary datagrams, as any host on the LAN
// may send to the reply port. Checks: no crash, nothing read outside the datagram (it is handed
// over in a buffer of exactly its size), the reply check agrees with the frame check, a frame
// taken as valid is what the frame builder makes of its own field area, a reply taken as valid
// has a MAC, every address shown is the address stored and reads back, texts are no longer than
// their field, and decoding is the same when the field area stands alone.
// Built and run by run-fuzz.sh with clang: -fsanitize=fuzzer,address,undefined.

#include "discoverydatagrams.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_discovery: %s\n", what);
    std::abort();
}

bool sameUnit(const _Device& a, const _Device& b)
{
    return std::memcmp(a.mac, b.mac, 6) == 0 && std::memcmp(a.ip, b.ip, 4) == 0
        && std::memcmp(a.subnetMask, b.subnetMask, 4) == 0 && std::memcmp(a.gateway, b.gateway, 4) == 0
        && std::memcmp(a.dns, b.dns, 4) == 0 && a.ipText == b.ipText && a.ipMode == b.ipMode
        && a.webPort == b.webPort && a.telnetPort == b.telnetPort && a.productName == b.productName
        && a.description == b.description && a.firmwareVersion == b.firmwareVersion
        && a.hardwareVersion == b.hardwareVersion && a.extraText == b.extraText && a.showMeState == b.showMeState
        && a.tlv16Seen == b.tlv16Seen;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace DiscoveryProtocol;
    if (size > 4096)
        return 0;
    const int length = int(size);
    // A copy of exactly the datagram's size: a read past its end is a sanitizer report.
    std::unique_ptr<char[]> datagram(new char[size ? size : 1]);
    if (size)
        std::memcpy(datagram.get(), data, size);
    const char* bytes = size ? datagram.get() : nullptr;

    const FrameCheck frame = checkFrame(bytes, length);
    _Device unit = newDevice();
    const ReplyCheck reply = decodeReply(bytes, length, unit);

    if (length >= 1 && quint8(bytes[0]) != Reply) {
        if (reply != ReplyCheck::NotAReply)
            fail("another command taken as a reply");
    } else if (length >= 1) {
        const bool agrees = (frame == FrameCheck::Valid && (reply == ReplyCheck::Valid || reply == ReplyCheck::NoMac))
            || (frame == FrameCheck::TooShort && reply == ReplyCheck::TooShort)
            || (frame == FrameCheck::LengthPastEnd && reply == ReplyCheck::LengthPastEnd)
            || (frame == FrameCheck::BadChecksum && reply == ReplyCheck::BadChecksum);
        if (!agrees)
            fail("the reply check differs from the frame check");
    }

    if (frame == FrameCheck::Valid) {
        const int n = quint8(bytes[1]);
        const QByteArray area(bytes + HeaderSize, n);
        const QByteArray rebuilt = DiscoveryProtocol::frame(quint8(bytes[0]), area);
        if (rebuilt != QByteArray(bytes, HeaderSize + n + TrailerSize))
            fail("a valid frame is not what the builder makes of its fields");
        if (checkFrame(rebuilt.constData(), rebuilt.size()) != FrameCheck::Valid)
            fail("the builder's frame does not check");

        // The field area alone, in a buffer of its own size, decodes to the same unit.
        std::unique_ptr<char[]> alone(new char[n ? n : 1]);
        std::memcpy(alone.get(), area.constData(), size_t(n));
        _Device again = newDevice();
        again.showMeState = 2;
        again.tlv16Seen = false;
        decodeFields(alone.get(), n, again);
        if (reply == ReplyCheck::Valid || reply == ReplyCheck::NoMac) {
            if (!sameUnit(unit, again))
                fail("the field area decodes differently alone");
        }
    }

    if (reply == ReplyCheck::Valid) {
        static const quint8 zero[6] = {0, 0, 0, 0, 0, 0};
        if (std::memcmp(unit.mac, zero, 6) == 0)
            fail("a valid reply without a MAC");
        if (!unit.ipText.isEmpty()) {
            if (unit.ipText != addressToString(unit.ip))
                fail("the address shown is not the address stored");
            quint8 back[4];
            if (!parseAddress(unit.ipText, back) || std::memcmp(back, unit.ip, 4) != 0)
                fail("the address shown does not read back");
        }
        const int most = MaxFieldArea;
        if (unit.productName.size() > most || unit.description.size() > most || unit.firmwareVersion.size() > most
            || unit.hardwareVersion.size() > most || unit.extraText.size() > most)
            fail("a text longer than any field");
        if (unit.showMeState != 0 && unit.showMeState != 1 && unit.showMeState != 2)
            fail("an identify state the unit cannot report");
        if (unit.productName != unit.productName.trimmed())
            fail("the product name is not trimmed");
    }

    // The address parser on the datagram as text: what it takes prints back the same way.
    quint8 address[4];
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), int(qMin<size_t>(size, 64)));
    if (parseAddress(text, address)) {
        quint8 again[4];
        if (!parseAddress(addressToString(address), again) || std::memcmp(address, again, 4) != 0)
            fail("an address does not read back");
    }
    return 0;
}
