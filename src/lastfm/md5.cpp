#include "lastfm/md5.h"

#include <cstring>

namespace {

// floor(abs(sin(i + 1)) * 2^32), RFC 1321 section 3.4.
const uint32_t T[64] = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
        0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
        0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
        0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
        0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
        0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
        0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
        0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
        0xeb86d391,
};

// Per-round left rotations, four per round.
const int SHIFTS[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

uint32_t rotateLeft(uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

// The words are little-endian whatever the host's byte order.
uint32_t loadLittleEndian(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void storeLittleEndian(uint32_t word, unsigned char *p)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(word >> (8 * i));
}

void processBlock(uint32_t abcd[4], const unsigned char block[64])
{
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = loadLittleEndian(block + 4 * i);

    uint32_t a = abcd[0], b = abcd[1], c = abcd[2], d = abcd[3];
    for (int i = 0; i < 64; ++i) {
        const int round = i / 16;
        uint32_t f;
        int k;
        switch (round) {
        case 0:
            f = (b & c) | (~b & d);
            k = i;
            break;
        case 1:
            f = (b & d) | (c & ~d);
            k = (5 * i + 1) % 16;
            break;
        case 2:
            f = b ^ c ^ d;
            k = (3 * i + 5) % 16;
            break;
        default:
            f = c ^ (b | ~d);
            k = (7 * i) % 16;
            break;
        }
        const uint32_t rotated = b + rotateLeft(a + f + x[k] + T[i], SHIFTS[round][i % 4]);
        a = d;
        d = c;
        c = b;
        b = rotated;
    }
    abcd[0] += a;
    abcd[1] += b;
    abcd[2] += c;
    abcd[3] += d;
}

}  // namespace

void md5_init(md5_state_t *state)
{
    state->count[0] = state->count[1] = 0;
    state->abcd[0] = 0x67452301;
    state->abcd[1] = 0xefcdab89;
    state->abcd[2] = 0x98badcfe;
    state->abcd[3] = 0x10325476;
}

void md5_append(md5_state_t *state, const unsigned char *data, int count)
{
    if (count <= 0)
        return;

    size_t used = (state->count[0] >> 3) & 63;
    const uint32_t bits = uint32_t(count) << 3;
    state->count[1] += uint32_t(count) >> 29;
    state->count[0] += bits;
    if (state->count[0] < bits)
        ++state->count[1];

    size_t left = size_t(count);
    if (used > 0) {
        const size_t take = left < 64 - used ? left : 64 - used;
        std::memcpy(state->buf + used, data, take);
        data += take;
        left -= take;
        used += take;
        if (used < 64)
            return;
        processBlock(state->abcd, state->buf);
    }
    for (; left >= 64; data += 64, left -= 64)
        processBlock(state->abcd, data);
    std::memcpy(state->buf, data, left);
}

void md5_finish(md5_state_t *state, unsigned char digest[16])
{
    static const unsigned char padding[64] = {0x80};

    unsigned char length[8];
    storeLittleEndian(state->count[0], length);
    storeLittleEndian(state->count[1], length + 4);

    // Pad to 56 bytes modulo 64, leaving room for the 8-byte length.
    const int used = int((state->count[0] >> 3) & 63);
    md5_append(state, padding, (used < 56 ? 56 : 120) - used);
    md5_append(state, length, 8);
    for (int i = 0; i < 4; ++i)
        storeLittleEndian(state->abcd[i], digest + 4 * i);
}
