#ifndef CHECKSUMS_H
#define CHECKSUMS_H

#include <QtGlobal>

// CRC-16/XMODEM: polynomial 0x1021, initial value 0, MSB first, no final XOR.
// "123456789" gives 0x31C3. A length below 1 gives 0.
quint16 calcCrc16(const void* data, int length);

// The sum of all bytes, each taken as unsigned, kept in 16 bits. A length below 1 gives 0.
quint16 calcByteSum16(const void* data, int length);

#endif // CHECKSUMS_H
