// The clipboard writers: each replaces the whole clipboard content with one
// item, a packed bitmap (CF_DIB) or a text (CF_TEXT). 1 on success, 0 on
// failure; neither reports anything itself.
#pragma once

#include <windows.h>
#include <stdint.h>

// Header length and image length of the CF_DIB block for a bitmap header;
// 0 when a length is negative or the block would not fit 32 bits.
int Clipboard_DibLengths(const BITMAPINFOHEADER* header, uint64_t* headerLength,
                         uint64_t* imageLength);

// Packs a locked BITMAPINFO and its locked pixel rows into one block and
// places it as CF_DIB. The two sizes are what the platform reports for the
// plug-in's blocks: nothing past them is read, and what they lack stays zero.
int Quorlex_BitMap(const void* header, SIZE_T headerSize, const void* pixels, SIZE_T pixelsSize);

// Places `length` bytes of text, and a terminating zero, as CF_TEXT.
int Quorlex_Text(const char* text, int length);

// Shared by both writers: allocates a zero-filled block of `total` bytes,
// copies `first` to its start and `second` to `secondOffset`, and places it
// in `format`.
int Clipboard_Place(UINT format, SIZE_T total, const void* first, SIZE_T firstLength,
                    SIZE_T secondOffset, const void* second, SIZE_T secondLength);
