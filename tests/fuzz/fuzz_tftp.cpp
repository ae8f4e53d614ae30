// libFuzzer target for the TFTP server's datagram parsing: arbitrary datagrams. Checks: no crash
// or out-of-bounds read, a data packet never carries more than one block, and every packet taken
// as valid is rebuilt from its parsed fields byte for byte (so nothing is read past the datagram
// and nothing in it is skipped). Built and run by run-fuzz.sh with clang:
// -fsanitize=fuzzer,address,undefined.

#include "tftpserver.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_tftp: %s\n", what);
    std::abort();
}

// Option names are compared without letter case: the input's own spelling is put back.
void appendOptions(const Tftp::Packet& packet, const QByteArray& input, QByteArray* bytes)
{
    for (const auto& option : packet.options) {
        const QByteArray name = input.mid(bytes->size(), option.first.size());
        if (name.toLower() != option.first)
            fail("option name differs");
        bytes->append(name).append('\0').append(option.second).append('\0');
    }
}

QByteArray rebuilt(const Tftp::Packet& packet, const QByteArray& input)
{
    QByteArray bytes = input.left(2);
    switch (packet.opcode) {
    case Tftp::ReadRequest:
    case Tftp::WriteRequest:
        // Mode and option names are compared without letter case.
    {
        bytes.append(packet.fileName).append('\0');
        const QByteArray mode = input.mid(bytes.size(), packet.mode.size());
        if (mode.toLower() != packet.mode)
            fail("mode differs");
        bytes.append(mode).append('\0');
        appendOptions(packet, input, &bytes);
        return bytes;
    }
    case Tftp::Data:
        return Tftp::dataPacket(packet.block, packet.payload);
    case Tftp::Ack:
        return Tftp::ackPacket(packet.block);
    case Tftp::Error:
        return Tftp::errorPacket(packet.errorCode, packet.errorMessage) + input.mid(4 + packet.errorMessage.size() + 1);
    case Tftp::OptionAck:
        appendOptions(packet, input, &bytes);
        return bytes;
    default:
        fail("valid packet of an unknown opcode");
    }
    return {};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    const Tftp::Packet packet = Tftp::parsePacket(input);
    if (!packet.valid)
        return 0;
    if (packet.opcode == Tftp::Data && packet.payload.size() > Tftp::BlockSize)
        fail("data packet longer than a block");
    if ((packet.opcode == Tftp::ReadRequest || packet.opcode == Tftp::WriteRequest)
        && (packet.fileName.isEmpty() || packet.fileName.contains('\0')))
        fail("request without a clean file name");
    if (rebuilt(packet, input) != input)
        fail("packet does not rebuild to the datagram");
    return 0;
}
