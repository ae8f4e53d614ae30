#include "checksums.h"

#include <array>

namespace {
// One entry per leading byte: the CRC register after shifting that byte through the polynomial.
constexpr std::array<quint16, 256> makeCrc16Table()
{
    std::array<quint16, 256> table{};
    for (int byte = 0; byte < 256; ++byte) {
        quint16 crc = quint16(byte << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
        table[byte] = crc;
    }
    return table;
}
constexpr std::array<quint16, 256> crc16Table = makeCrc16Table();
} // namespace

quint16 calcCrc16(const void* data, int length)
{
    const auto* bytes = static_cast<const quint8*>(data);
    quint16 crc = 0;
    for (int i = 0; i < length; ++i)
        crc = quint16((crc << 8) ^ crc16Table[(crc >> 8) ^ bytes[i]]);
    return crc;
}

quint16 calcByteSum16(const void* data, int length)
{
    const auto* bytes = static_cast<const quint8*>(data);
    quint16 sum = 0;
    for (int i = 0; i < length; ++i)
        sum = quint16(sum + bytes[i]);
    return sum;
}
