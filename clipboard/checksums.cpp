// The two checksums of a PNG file: CRC-32 over each chunk and Adler-32
// over the zlib stream. They run over every byte of a picture, so this file
// is built for speed.
#include "clipboard/png.h"

constexpr uint32_t PNG_ADLER_MOD = 65521;
// Bytes summed before the Adler-32 sums must be reduced.
constexpr uint32_t PNG_ADLER_RUN = 5552;

// CRC-32 tables for eight bytes at a time; filled on first use.
static uint32_t g_crcTable[8][256];

// Run once: built for size, as the rest of the program is.
__attribute__((cold)) static void Png_MakeCrcTable() {
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        g_crcTable[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n) {
        for (int t = 1; t < 8; ++t) {
            uint32_t c = g_crcTable[t - 1][n];
            g_crcTable[t][n] = g_crcTable[0][c & 0xFF] ^ (c >> 8);
        }
    }
}

uint32_t Png_Crc(const uint8_t* p, size_t n) {
    if (g_crcTable[0][1] == 0) {
        Png_MakeCrcTable();
    }
    uint32_t c = 0xFFFFFFFFu;
    for (; n >= 8; n -= 8, p += 8) {
        uint32_t low = c ^ (p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
        uint32_t high = p[4] | p[5] << 8 | p[6] << 16 | static_cast<uint32_t>(p[7]) << 24;
        c = g_crcTable[7][low & 0xFF] ^ g_crcTable[6][(low >> 8) & 0xFF] ^
            g_crcTable[5][(low >> 16) & 0xFF] ^ g_crcTable[4][low >> 24] ^
            g_crcTable[3][high & 0xFF] ^ g_crcTable[2][(high >> 8) & 0xFF] ^
            g_crcTable[1][(high >> 16) & 0xFF] ^ g_crcTable[0][high >> 24];
    }
    for (; n > 0; --n) {
        c = g_crcTable[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

uint32_t Png_Adler(uint32_t adler, const uint8_t* p, size_t n) {
    uint32_t a = adler & 0xFFFF;
    uint32_t b = adler >> 16;
    while (n > 0) {
        size_t run = n < PNG_ADLER_RUN ? n : PNG_ADLER_RUN;
        n -= run;
        for (; run > 0; --run) {
            a += *p++;
            b += a;
        }
        a %= PNG_ADLER_MOD;
        b %= PNG_ADLER_MOD;
    }
    return b << 16 | a;
}
