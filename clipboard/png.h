// The PNG writer for pictures with transparency: 8-bit RGBA, stored
// (uncompressed) deflate blocks, valid for every reader.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Bytes of the PNG file of a width x height picture.
uint64_t Png_Length(uint32_t width, uint32_t height);

// Writes the PNG file of a picture whose rows are 32-bit BGRA pixels,
// width x 4 bytes each, bottom row first when `bottomUp`, into `out`
// (Png_Length bytes). `rowBuffer` holds 1 + width x 4 bytes of scratch.
void Png_Write(uint8_t* out, const uint8_t* rows, uint32_t width, uint32_t height, int bottomUp,
               uint8_t* rowBuffer);

// CRC-32 (ISO 3309, as PNG chunks carry it) of `n` bytes.
uint32_t Png_Crc(const uint8_t* p, size_t n);
// Adler-32 (as a zlib stream carries it) continued over `n` more bytes;
// start from 1.
uint32_t Png_Adler(uint32_t adler, const uint8_t* p, size_t n);
