#ifndef HEXRECORD_H
#define HEXRECORD_H

#include <QByteArray>

// One Intel HEX record with its checksum, written by hand for what objcopy does not write
// (odd record types, bad placements).
inline QByteArray hexRecord(int type, quint16 address, const QByteArray& data, const char* lineEnd = "\r\n")
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(address >> 8));
    bytes.append(char(address & 0xFF));
    bytes.append(char(type));
    bytes.append(data);
    quint8 sum = 0;
    for (char c : bytes)
        sum = quint8(sum + quint8(c));
    bytes.append(char(quint8(0x100 - sum)));
    return ":" + bytes.toHex().toUpper() + lineEnd;
}

#endif // HEXRECORD_H
