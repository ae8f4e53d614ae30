#include "aes128.h"

#include <cstring>

namespace {

quint8 xtime(quint8 x)
{
    return quint8((x << 1) ^ ((x & 0x80) ? 0x1B : 0));
}

quint8 mul(quint8 a, quint8 b)
{
    quint8 r = 0;
    while (b) {
        if (b & 1)
            r ^= a;
        a = xtime(a);
        b >>= 1;
    }
    return r;
}

struct Tables {
    quint8 sbox[256];
    quint8 inv[256];
    Tables()
    {
        // The S-box from its definition: the multiplicative inverse in GF(2^8) followed by the
        // affine transform.
        for (int x = 0; x < 256; ++x) {
            quint8 invx = 0;
            for (int y = 1; y < 256 && x; ++y)
                if (mul(quint8(x), quint8(y)) == 1) {
                    invx = quint8(y);
                    break;
                }
            quint8 s = invx;
            for (int k = 1; k < 5; ++k)
                s ^= quint8((invx << k) | (invx >> (8 - k)));
            s ^= 0x63;
            sbox[x] = s;
            inv[s] = quint8(x);
        }
    }
};

const Tables& tables()
{
    static const Tables t;
    return t;
}

// The eleven round keys, expanded afresh from the cipher key.
void expandKey(const quint8 key[16], quint8 w[176])
{
    const Tables& t = tables();
    std::memcpy(w, key, 16);
    quint8 rcon = 1;
    for (int i = 16; i < 176; i += 4) {
        quint8 tmp[4] = {w[i - 4], w[i - 3], w[i - 2], w[i - 1]};
        if (i % 16 == 0) {
            const quint8 first = tmp[0];
            tmp[0] = quint8(t.sbox[tmp[1]] ^ rcon);
            tmp[1] = t.sbox[tmp[2]];
            tmp[2] = t.sbox[tmp[3]];
            tmp[3] = t.sbox[first];
            rcon = xtime(rcon);
        }
        for (int k = 0; k < 4; ++k)
            w[i + k] = quint8(w[i - 16 + k] ^ tmp[k]);
    }
}

void addRoundKey(quint8 s[16], const quint8* k)
{
    for (int i = 0; i < 16; ++i)
        s[i] ^= k[i];
}

// The state is column-major: byte r + 4c is row r of column c.
void invShiftRows(quint8 s[16])
{
    quint8 t[16];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            t[r + 4 * ((c + r) % 4)] = s[r + 4 * c];
    std::memcpy(s, t, 16);
}

void invMixColumns(quint8 s[16])
{
    const quint8 m[4] = {0x0E, 0x0B, 0x0D, 0x09};
    for (int c = 0; c < 4; ++c) {
        quint8* col = s + 4 * c;
        const quint8 a[4] = {col[0], col[1], col[2], col[3]};
        for (int r = 0; r < 4; ++r)
            col[r] = quint8(mul(a[0], m[(4 - r) % 4]) ^ mul(a[1], m[(5 - r) % 4]) ^ mul(a[2], m[(6 - r) % 4])
                            ^ mul(a[3], m[(7 - r) % 4]));
    }
}

void subBytes(quint8 s[16], const quint8* box)
{
    for (int i = 0; i < 16; ++i)
        s[i] = box[s[i]];
}

} // namespace

void Aes128::decryptBlock(const quint8 key[16], const quint8 in[16], quint8 out[16])
{
    const Tables& t = tables();
    quint8 w[176];
    expandKey(key, w);
    quint8 s[16];
    std::memcpy(s, in, 16);
    addRoundKey(s, w + 160);
    for (int round = 9; round >= 0; --round) {
        invShiftRows(s);
        subBytes(s, t.inv);
        addRoundKey(s, w + 16 * round);
        if (round > 0)
            invMixColumns(s);
    }
    std::memcpy(out, s, 16);
}
