#include "simedid.h"

QByteArray simSampleEdid(int seed)
{
    QByteArray b(128, '\0');
    const char header[8] = {'\x00', '\xff', '\xff', '\xff', '\xff', '\xff', '\xff', '\x00'};
    for (int i = 0; i < 8; ++i)
        b[i] = header[i];
    b[8] = '\x59'; // manufacturer "VLM"
    b[9] = '\x8d';
    b[10] = char(seed & 0xff); // product code
    b[12] = char(seed & 0xff); // serial number
    b[18] = 1;                 // EDID 1.3
    b[19] = 3;
    b[20] = '\x80'; // digital input
    quint8 sum = 0;
    for (int i = 0; i < 127; ++i)
        sum = quint8(sum + quint8(b.at(i)));
    b[127] = char(quint8(256 - sum));
    return b;
}

bool simEdidBlocksSumToZero(const QByteArray& bytes)
{
    if (bytes.size() != 128 && bytes.size() != 256)
        return false;
    for (int block = 0; block < bytes.size(); block += 128) {
        unsigned sum = 0;
        for (int i = 0; i < 128; ++i)
            sum += quint8(bytes[block + i]);
        if (sum % 256 != 0)
            return false;
    }
    return true;
}

QByteArray simTwoBlockEdid(int seed)
{
    QByteArray base = simSampleEdid(seed);
    QByteArray ext(128, '\0');
    ext[0] = 0x02;
    ext[1] = 0x03;
    ext[2] = 0x04;
    ext[60] = char(seed & 0xff);
    base[126] = 1;
    for (QByteArray* block : {&base, &ext}) {
        quint8 sum = 0;
        for (int i = 0; i < 127; ++i)
            sum = quint8(sum + quint8(block->at(i)));
        (*block)[127] = char(quint8(256 - sum));
    }
    return base + ext;
}
