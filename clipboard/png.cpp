// Writes a 32-bit picture as a PNG file: 8-bit RGBA with the alpha as the
// plug-in gave it, rows top to bottom. The image data is a zlib stream of
// stored deflate blocks (no compression, nothing to get wrong for a
// reader), one block of at most 65,535 bytes per IDAT chunk.
#include "clipboard/png.h"

#include <string.h>

constexpr uint32_t PNG_BLOCK = 65535;
// Signature, IHDR chunk and IEND chunk; the zlib header and Adler-32.
constexpr uint64_t PNG_FIXED = 8 + 25 + 12;
constexpr uint64_t PNG_ZLIB = 2 + 4;
// Per IDAT chunk: length, type and CRC; and the stored block's header.
constexpr uint64_t PNG_PER_BLOCK = 12 + 5;

static uint8_t* Png_Be32(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value >> 24);
    at[1] = static_cast<uint8_t>(value >> 16);
    at[2] = static_cast<uint8_t>(value >> 8);
    at[3] = static_cast<uint8_t>(value);
    return at + 4;
}

// Closes a chunk whose type begins at `type`: its CRC after the data.
static uint8_t* Png_EndChunk(uint8_t* type, uint8_t* end) {
    return Png_Be32(end, Png_Crc(type, static_cast<size_t>(end - type)));
}

static uint64_t Png_RawLength(uint32_t width, uint32_t height) {
    // Each row: its filter byte (0, none), then four bytes a pixel.
    return static_cast<uint64_t>(height) * (1 + static_cast<uint64_t>(width) * 4);
}

uint64_t Png_Length(uint32_t width, uint32_t height) {
    uint64_t raw = Png_RawLength(width, height);
    uint64_t blocks = (raw + PNG_BLOCK - 1) / PNG_BLOCK;
    return PNG_FIXED + PNG_ZLIB + blocks * PNG_PER_BLOCK + raw;
}

// The image data as it is written: the current IDAT chunk and its stored
// block, and the zlib stream's running Adler-32.
struct PngStream {
    uint8_t* at;
    uint8_t* chunkType;
    uint8_t* blockData;
    uint32_t room;    // raw bytes the current block still takes
    uint64_t rawLeft; // raw bytes not yet in a block
    uint32_t adler;
};

static void Png_OpenBlock(PngStream* s, int first) {
    uint32_t length = s->rawLeft < PNG_BLOCK ? static_cast<uint32_t>(s->rawLeft) : PNG_BLOCK;
    s->rawLeft -= length;
    int last = s->rawLeft == 0;
    s->at = Png_Be32(s->at, (first ? 2 : 0) + 5 + length + (last ? 4 : 0));
    s->chunkType = s->at;
    memcpy(s->at, "IDAT", 4);
    s->at += 4;
    if (first) {
        // Deflate with a 32 KiB window, no dictionary, the fastest level.
        *s->at++ = 0x78;
        *s->at++ = 0x01;
    }
    // A stored block: final flag, type 00, then LEN and its complement.
    *s->at++ = static_cast<uint8_t>(last);
    *s->at++ = static_cast<uint8_t>(length);
    *s->at++ = static_cast<uint8_t>(length >> 8);
    *s->at++ = static_cast<uint8_t>(~length);
    *s->at++ = static_cast<uint8_t>(~length >> 8);
    s->blockData = s->at;
    s->room = length;
}

static void Png_CloseBlock(PngStream* s) {
    s->adler = Png_Adler(s->adler, s->blockData, static_cast<size_t>(s->at - s->blockData));
    if (s->rawLeft == 0) {
        s->at = Png_Be32(s->at, s->adler);
    }
    s->at = Png_EndChunk(s->chunkType, s->at);
}

static void Png_Put(PngStream* s, const uint8_t* bytes, size_t n) {
    while (n > 0) {
        if (s->room == 0) {
            Png_CloseBlock(s);
            Png_OpenBlock(s, 0);
        }
        size_t piece = n < s->room ? n : s->room;
        memcpy(s->at, bytes, piece);
        s->at += piece;
        s->room -= static_cast<uint32_t>(piece);
        bytes += piece;
        n -= piece;
    }
}

void Png_Write(uint8_t* out, const uint8_t* rows, uint32_t width, uint32_t height, int bottomUp,
               uint8_t* rowBuffer) {
    static const uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    memcpy(out, SIGNATURE, 8);
    uint8_t* at = Png_Be32(out + 8, 13);
    uint8_t* type = at;
    memcpy(at, "IHDR", 4);
    at = Png_Be32(at + 4, width);
    at = Png_Be32(at, height);
    // 8 bits a sample, colour type 6 (RGBA), deflate, no filter method
    // beyond the standard one, no interlace.
    static const uint8_t FORMAT[5] = {8, 6, 0, 0, 0};
    memcpy(at, FORMAT, 5);
    at = Png_EndChunk(type, at + 5);

    PngStream s = {at, nullptr, nullptr, 0, Png_RawLength(width, height), 1};
    Png_OpenBlock(&s, 1);
    size_t stride = static_cast<size_t>(width) * 4;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = rows + stride * (bottomUp ? height - 1 - y : y);
        rowBuffer[0] = 0;
        // BGRA to RGBA: blue and red change places.
        for (size_t x = 0; x < stride; x += 4) {
            uint32_t v;
            memcpy(&v, row + x, 4);
            v = (v & 0xFF00FF00u) | (v >> 16 & 0xFF) | (v & 0xFF) << 16;
            memcpy(rowBuffer + 1 + x, &v, 4);
        }
        Png_Put(&s, rowBuffer, 1 + stride);
    }
    Png_CloseBlock(&s);
    at = Png_Be32(s.at, 0);
    type = at;
    memcpy(at, "IEND", 4);
    Png_EndChunk(type, at + 4);
}
