// Packs a decoded picture into one CF_DIB block: the header with its colour
// table or bit masks, then the pixel rows, lengths taken from the header.
#include "clipboard/clipboard.h"

#include <string.h>

constexpr uint64_t DIB_BLOCK_LIMIT = 0xFFFFFFFFull;
constexpr uint64_t DIB_HEADER = 40;
constexpr uint64_t DIB_MASKS = 12;
constexpr uint64_t DIB_QUAD = 4;

int Quorlex_DibLengths(const BITMAPINFOHEADER* header, uint64_t* headerLength,
                       uint64_t* imageLength) {
    int64_t width = header->biWidth;
    int64_t row;
    uint64_t length = DIB_HEADER;
    int masks = header->biCompression == BI_BITFIELDS;
    switch (header->biBitCount) {
    case 1:
        length += 2 * DIB_QUAD;
        row = (width + 7) >> 3;
        break;
    case 4:
        length += 16 * DIB_QUAD;
        row = (width + 1) >> 1;
        break;
    case 8:
        length += 256 * DIB_QUAD;
        row = width;
        break;
    case 16:
        length += masks ? DIB_MASKS : 0;
        row = width * 2;
        break;
    case 24:
        row = width * 3;
        break;
    case 32:
        length += masks ? DIB_MASKS : 0;
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

static SIZE_T Bitmap_Bounded(uint64_t wanted, SIZE_T available) {
    return wanted < available ? static_cast<SIZE_T>(wanted) : available;
}

int Quorlex_BitMap(const void* header, SIZE_T headerSize, const void* pixels, SIZE_T pixelsSize) {
    // A header block shorter than the record reads as zero past its end.
    BITMAPINFOHEADER info = {};
    memcpy(&info, header, Bitmap_Bounded(sizeof info, headerSize));
    uint64_t headerLength;
    uint64_t imageLength;
    if (!Quorlex_DibLengths(&info, &headerLength, &imageLength)) {
        return 0;
    }
    SIZE_T total = static_cast<SIZE_T>(headerLength + imageLength);
    SIZE_T headerCopy = Bitmap_Bounded(headerLength, headerSize);
    SIZE_T pixelsCopy = Bitmap_Bounded(imageLength, pixelsSize);
    return Clipboard_Place(CF_DIB, total, header, headerCopy, static_cast<SIZE_T>(headerLength),
                           pixels, pixelsCopy);
}
