#ifndef AES128_H
#define AES128_H

#include <QtGlobal>

// AES-128 (FIPS-197) deciphering of single 16-byte blocks, as the enciphered firmware files of
// some units need it. No chaining: each block stands alone.
namespace Aes128 {

// Deciphers one block of `in` with `key` into `out` (which may be `in`).
void decryptBlock(const quint8 key[16], const quint8 in[16], quint8 out[16]);

} // namespace Aes128

#endif // AES128_H
