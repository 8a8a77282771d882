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

// Bytes of one row's pixels, before its padding to 4 bytes.
static int64_t Clipboard_RowBytes(const BITMAPINFOHEADER* header) {
    int64_t width = header->biWidth;
    switch (header->biBitCount) {
    case 1:
        return (width + 7) >> 3;
    case 4:
        return (width + 1) >> 1;
    case 16:
        return width * 2;
    case 24:
        return width * 3;
    case 32:
        return width * 4;
    default:
        return width;
    }
}

// Rows laid out one after another, as readers of an uncompressed picture
// read them; a compressed one's length is the plug-in's to say.
static bool Clipboard_Uncompressed(const BITMAPINFOHEADER* header) {
    return header->biCompression == BI_RGB || header->biCompression == BI_BITFIELDS;
}

int Clipboard_DibLengths(const BITMAPINFOHEADER* header, uint64_t* headerLength,
                         uint64_t* imageLength) {
    uint64_t length = Clipboard_HeaderSize(header->biSize);
    // The three masks follow a 40-byte header; longer headers hold them.
    if (length == DIB_HEADER && header->biCompression == BI_BITFIELDS &&
        (header->biBitCount == 16 || header->biBitCount == 32)) {
        length += DIB_MASKS;
    }
    length += Clipboard_TableEntries(header) * DIB_QUAD;
    int64_t row = Clipboard_RowBytes(header);
    if (row < 0) {
        return 0;
    }
    // An uncompressed picture is as long as its rows, whatever biSizeImage
    // says: a reader reads the rows the header describes.
    uint64_t image = Clipboard_Uncompressed(header) ? 0 : header->biSizeImage;
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

int Clipboard_DibIsWhole(const void* header, SIZE_T headerSize, SIZE_T pixelsSize) {
    BITMAPINFOHEADER info;
    if (headerSize < sizeof info) {
        return 0;
    }
    memcpy(&info, header, sizeof info);
    switch (info.biBitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        return 0;
    }
    uint64_t headerLength;
    uint64_t imageLength;
    if (info.biWidth <= 0 || info.biHeight == 0 || info.biHeight == INT32_MIN ||
        !Clipboard_DibLengths(&info, &headerLength, &imageLength)) {
        return 0;
    }
    if (!Clipboard_Uncompressed(&info)) {
        return 1;
    }
    // The last row's padding may be missing; none of its pixels may.
    uint64_t row = static_cast<uint64_t>(Clipboard_RowBytes(&info));
    uint64_t padding = ((row + 3) & ~uint64_t{3}) - row;
    return pixelsSize >= imageLength - padding;
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
    // A header of a length no reader knows is laid out as 40 bytes, and a
    // size of the pixels that is not what was placed is put right: the
    // placed header says what the block holds.
    DWORD sizeImage = info.biSizeImage != 0 ? static_cast<DWORD>(imageLength) : 0;
    if (Clipboard_HeaderSize(info.biSize) != info.biSize || sizeImage != info.biSizeImage) {
        auto* placed = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
        if (placed == nullptr) {
            GlobalFree(dib);
            return 0;
        }
        placed->biSize = static_cast<DWORD>(Clipboard_HeaderSize(info.biSize));
        placed->biSizeImage = sizeImage;
        GlobalUnlock(dib);
    }
    ClipboardItem items[3] = {{CF_DIB, dib}, {0, nullptr}, {0, nullptr}};
    Clipboard_TransparencyItems(dib, headerLength, imageLength, &items[1], &items[2]);
    int formats = 1 + (items[1].block != nullptr) + (items[2].block != nullptr);
    return Clipboard_PlaceItems(items, 3) ? formats : 0;
}
