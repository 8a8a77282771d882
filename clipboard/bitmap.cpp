// Packs a decoded picture into one CF_DIB block: the header, its bit masks
// and colour table, then the pixel rows, laid out where readers of CF_DIB
// look for them: lengths taken from the header's biSize, biClrUsed,
// biBitCount and biCompression.
#include "clipboard/clipboard.h"

#include <string.h>

constexpr uint64_t DIB_BLOCK_LIMIT = 0xFFFFFFFFull;
constexpr uint64_t DIB_HEADER = 40;
constexpr uint64_t DIB_MASKS = 12;
constexpr uint64_t DIB_QUAD = 4;
constexpr uint64_t DIB_LARGEST_TABLE = 256;

// The header's own length when it is one that readers know: the 40-byte
// header, its 52- and 56-byte extensions with the masks inside, and the
// 108- and 124-byte version 4 and 5 headers. Anything else is read as 40.
static uint64_t Clipboard_HeaderSize(DWORD size) {
    switch (size) {
    case 40:
    case 52:
    case 56:
    case 108:
    case 124:
        return size;
    default:
        return DIB_HEADER;
    }
}

// Colour table entries where readers look for them: biClrUsed when it is
// set, bounded by what the bit count can index; else a full table for 1, 4
// and 8 bits and none above.
static uint64_t Clipboard_TableEntries(const BITMAPINFOHEADER* header) {
    WORD bits = header->biBitCount;
    uint64_t full = bits == 1 || bits == 4 || bits == 8 ? uint64_t{1} << bits : 0;
    if (header->biClrUsed == 0) {
        return full;
    }
    uint64_t largest = bits >= 1 && bits <= 8 ? uint64_t{1} << bits : DIB_LARGEST_TABLE;
    return header->biClrUsed < largest ? header->biClrUsed : largest;
}

int Clipboard_DibLengths(const BITMAPINFOHEADER* header, uint64_t* headerLength,
                         uint64_t* imageLength) {
    int64_t width = header->biWidth;
    int64_t row;
    uint64_t length = Clipboard_HeaderSize(header->biSize);
    // The three masks follow a 40-byte header; longer headers hold them.
    if (length == DIB_HEADER && header->biCompression == BI_BITFIELDS &&
        (header->biBitCount == 16 || header->biBitCount == 32)) {
        length += DIB_MASKS;
    }
    length += Clipboard_TableEntries(header) * DIB_QUAD;
    switch (header->biBitCount) {
    case 1:
        row = (width + 7) >> 3;
        break;
    case 4:
        row = (width + 1) >> 1;
        break;
    case 8:
        row = width;
        break;
    case 16:
        row = width * 2;
        break;
    case 24:
        row = width * 3;
        break;
    case 32:
        row = width * 4;
        break;
    default:
        row = width;
        break;
    }
    if (row < 0) {
        return 0;
    }
    uint64_t image = header->biSizeImage;
    if (image == 0) {
        uint64_t rounded = static_cast<uint64_t>((row + 3) & ~int64_t{3});
        int64_t height = header->biHeight;
        uint64_t rows = static_cast<uint64_t>(height < 0 ? -height : height);
        // Checked before multiplying: the product may not fit 64 bits.
        if (rounded != 0 && rows > (DIB_BLOCK_LIMIT - length) / rounded) {
            return 0;
        }
        image = rows * rounded;
    }
    if (length + image > DIB_BLOCK_LIMIT) {
        return 0;
    }
    *headerLength = length;
    *imageLength = image;
    return 1;
}

static SIZE_T Clipboard_Bounded(uint64_t wanted, SIZE_T available) {
    return wanted < available ? static_cast<SIZE_T>(wanted) : available;
}

int Quorlex_BitMap(const void* header, SIZE_T headerSize, const void* pixels, SIZE_T pixelsSize) {
    // A header block shorter than the record reads as zero past its end.
    BITMAPINFOHEADER info = {};
    memcpy(&info, header, Clipboard_Bounded(sizeof info, headerSize));
    uint64_t headerLength;
    uint64_t imageLength;
    if (!Clipboard_DibLengths(&info, &headerLength, &imageLength)) {
        return 0;
    }
    SIZE_T total = static_cast<SIZE_T>(headerLength + imageLength);
    SIZE_T headerCopy = Clipboard_Bounded(headerLength, headerSize);
    SIZE_T pixelsCopy = Clipboard_Bounded(imageLength, pixelsSize);
    HGLOBAL dib = Clipboard_Block(total, header, headerCopy, static_cast<SIZE_T>(headerLength),
                                  pixels, pixelsCopy);
    if (dib == nullptr) {
        return 0;
    }
    // A header of a length no reader knows is laid out as 40 bytes: it says so.
    if (Clipboard_HeaderSize(info.biSize) != info.biSize) {
        auto* placed = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
        if (placed == nullptr) {
            GlobalFree(dib);
            return 0;
        }
        placed->biSize = static_cast<DWORD>(DIB_HEADER);
        GlobalUnlock(dib);
    }
    ClipboardItem items[3] = {{CF_DIB, dib}, {0, nullptr}, {0, nullptr}};
    Clipboard_TransparencyItems(dib, headerLength, imageLength, &items[1], &items[2]);
    return Clipboard_PlaceItems(items, 3);
}
