#include "checksums.h"

quint16 calcCrc16(const void* data, int length)
{
    const auto* bytes = static_cast<const quint8*>(data);
    quint16 crc = 0;
    for (int i = 0; i < length; ++i) {
        crc ^= quint16(bytes[i]) << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
    }
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
