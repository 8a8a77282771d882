// The host's CF_DIB packing on any header and pixel blocks: a placed block
// is as long as its header says (an uncompressed picture as long as its
// rows), holds the plug-in's bytes where they were
// and zeros where the plug-in gave none, and never reads past either block.
// A 32-bit picture with alpha also gets a CF_DIBV5 with the same rows and a
// PNG that zlib, a reader of its own, inflates to the same pixels.
#include "check.h"
#include "clipboard/clipboard.h"
#include "draw.h"

#include <string.h>

#include <algorithm>
#include <vector>
#include <zlib.h>

constexpr UINT PNG_FORMAT = 0xC100; // what the stand-in registers "PNG" as

static uint32_t Fuzz_Be32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

// Whether the packed DIB's 32-bit pixels carry alpha, worked out here from
// the header the packing placed.
static bool Fuzz_HasAlpha(const uint8_t* dib, uint64_t headerLength, uint64_t imageLength) {
    BITMAPINFOHEADER info;
    memcpy(&info, dib, sizeof info);
    if (info.biBitCount != 32 || info.biWidth <= 0 || info.biHeight == 0 ||
        info.biHeight == INT32_MIN) {
        return false;
    }
    if (info.biCompression == BI_BITFIELDS) {
        static const uint8_t bgra[12] = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0};
        if (memcmp(dib + 40, bgra, 12) != 0) {
            return false;
        }
    } else if (info.biCompression != BI_RGB) {
        return false;
    }
    uint64_t rows = info.biHeight < 0 ? -static_cast<int64_t>(info.biHeight) : info.biHeight;
    uint64_t pixels = rows * static_cast<uint64_t>(info.biWidth);
    if (pixels > imageLength / 4) {
        return false;
    }
    bool clear = true;
    bool opaque = true;
    for (uint64_t i = 0; i < pixels; ++i) {
        uint8_t alpha = dib[headerLength + i * 4 + 3];
        clear = clear && alpha == 0;
        opaque = opaque && alpha == 255;
    }
    return !clear && !opaque;
}

static void Fuzz_CheckPng(HANDLE block, const uint8_t* dib, uint64_t headerLength) {
    BITMAPINFOHEADER info;
    memcpy(&info, dib, sizeof info);
    uint32_t width = static_cast<uint32_t>(info.biWidth);
    uint32_t height = static_cast<uint32_t>(info.biHeight < 0 ? -info.biHeight : info.biHeight);
    const auto* png = static_cast<const uint8_t*>(GlobalLock(block));
    size_t size = GlobalSize(block);
    static const uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Fuzz_Require(size >= 8 && memcmp(png, SIGNATURE, 8) == 0, "the PNG signature");
    std::vector<uint8_t> stream;
    bool ended = false;
    for (size_t at = 8; at < size;) {
        Fuzz_Require(!ended && size - at >= 12, "whole chunks, IEND last");
        uint32_t length = Fuzz_Be32(png + at);
        Fuzz_Require(length <= size - at - 12, "a chunk inside the file");
        const uint8_t* type = png + at + 4;
        uint32_t crc = static_cast<uint32_t>(crc32(0, type, length + 4));
        Fuzz_Require(crc == Fuzz_Be32(type + 4 + length), "each chunk's CRC");
        if (memcmp(type, "IHDR", 4) == 0) {
            Fuzz_Require(at == 8 && length == 13 && Fuzz_Be32(type + 4) == width &&
                             Fuzz_Be32(type + 8) == height &&
                             memcmp(type + 12, "\x08\x06\x00\x00\x00", 5) == 0,
                         "IHDR first: the size, 8-bit RGBA");
        } else if (memcmp(type, "IDAT", 4) == 0) {
            stream.insert(stream.end(), type + 4, type + 4 + length);
        } else {
            Fuzz_Require(memcmp(type, "IEND", 4) == 0 && length == 0, "only IHDR, IDAT, IEND");
            ended = true;
        }
        at += 12 + length;
    }
    Fuzz_Require(ended, "an IEND chunk");
    GlobalUnlock(block);

    size_t rowLength = 1 + static_cast<size_t>(width) * 4;
    std::vector<uint8_t> raw(rowLength * height + 1);
    uLongf rawLength = raw.size();
    Fuzz_Require(uncompress(raw.data(), &rawLength, stream.data(), stream.size()) == Z_OK &&
                     rawLength == rowLength * height,
                 "zlib inflates the image data, Adler-32 included, to every row");
    for (uint32_t y = 0; y < height; ++y) {
        uint32_t row = info.biHeight > 0 ? height - 1 - y : y;
        const uint8_t* from = dib + headerLength + static_cast<size_t>(row) * width * 4;
        const uint8_t* to = raw.data() + y * rowLength;
        Fuzz_Require(to[0] == 0, "no filter");
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = from + x * 4;
            const uint8_t* q = to + 1 + x * 4;
            Fuzz_Require(q[0] == p[2] && q[1] == p[1] && q[2] == p[0] && q[3] == p[3],
                         "the PNG's pixels are the DIB's, top row first, straight alpha");
        }
    }
}

static void Fuzz_CheckDibV5(HANDLE block, const uint8_t* dib, uint64_t headerLength,
                            uint64_t imageLength) {
    const auto* v5 = static_cast<const uint8_t*>(GlobalLock(block));
    BITMAPV5HEADER header;
    memcpy(&header, v5, sizeof header);
    Fuzz_Require(GlobalSize(block) == sizeof header + imageLength && header.bV5Size == 124 &&
                     header.bV5BitCount == 32 && header.bV5Compression == BI_BITFIELDS &&
                     header.bV5AlphaMask == 0xFF000000 && memcmp(dib + 4, v5 + 4, 8) == 0,
                 "a version 5 header with an alpha mask");
    Fuzz_Require(memcmp(v5 + sizeof header, dib + headerLength, imageLength) == 0,
                 "CF_DIBV5 has the DIB's rows");
    GlobalUnlock(block);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) {
        return 0;
    }
    size_t largest = Fuzz_DrawsLarge(data, size) ? FUZZ_LARGE_BLOCKS : FUZZ_SMALL_BLOCKS;
    Fake_SetLargestBlock(largest);
    // The first two bytes say how much of the rest is the header block (one
    // byte at least: the program never packs a header block it cannot lock);
    // each block is a copy of its own, so that reading past it is caught.
    size_t headerSize = 1 + (data[0] | data[1] << 8) % (size - 2);
    std::vector<uint8_t> header(data + 2, data + 2 + headerSize);
    std::vector<uint8_t> pixels(data + 2 + headerSize, data + size);
    BITMAPINFOHEADER info = {};
    memcpy(&info, header.data(), headerSize < sizeof info ? headerSize : sizeof info);
    uint64_t headerLength = 0;
    uint64_t imageLength = 0;
    int described = Clipboard_DibLengths(&info, &headerLength, &imageLength);

    int placed = Quorlex_BitMap(header.data(), header.size(),
                                pixels.empty() ? nullptr : pixels.data(), pixels.size());
    Fuzz_Require(!placed || described, "only a picture its header describes is placed");
    HANDLE block = Fake_ClipboardData(CF_DIB);
    Fuzz_Require((block != nullptr) == (placed != 0), "placed means on the clipboard");
    if (placed) {
        uint64_t total = headerLength + imageLength;
        Fuzz_Require(GlobalSize(block) == total, "the block's length");
        std::vector<uint8_t> expected(total, 0);
        std::copy_n(header.begin(), std::min<uint64_t>(header.size(), headerLength),
                    expected.begin());
        std::copy_n(pixels.begin(), std::min<uint64_t>(pixels.size(), imageLength),
                    expected.begin() + static_cast<ptrdiff_t>(headerLength));
        if (info.biSize != 40 && info.biSize != 52 && info.biSize != 56 && info.biSize != 108 &&
            info.biSize != 124) {
            memcpy(expected.data(), "\x28\0\0\0", 4);
        }
        if (info.biSizeImage != 0) {
            uint32_t sizeImage = static_cast<uint32_t>(imageLength);
            memcpy(expected.data() + 20, &sizeImage, 4);
        }
        const auto* dib = static_cast<const uint8_t*>(GlobalLock(block));
        Fuzz_Require(memcmp(dib, expected.data(), total) == 0,
                     "the plug-in's bytes, then zeros; a header of an unknown length says 40, "
                     "and a size of the pixels says what was placed");
        HANDLE v5 = Fake_ClipboardData(CF_DIBV5);
        HANDLE png = Fake_ClipboardData(PNG_FORMAT);
        bool alpha = Fuzz_HasAlpha(dib, headerLength, imageLength);
        Fuzz_Require((v5 == nullptr && png == nullptr) || alpha,
                     "only pictures with alpha get CF_DIBV5 and PNG");
        Fuzz_Require(!alpha || total > largest / 4 || (v5 != nullptr && png != nullptr),
                     "a small picture with alpha gets both");
        if (v5 != nullptr) {
            Fuzz_CheckDibV5(v5, dib, headerLength, imageLength);
        }
        if (png != nullptr) {
            Fuzz_CheckPng(png, dib, headerLength);
        }
        GlobalUnlock(block);
    }
    Fake_EmptyClipboard();
    Fuzz_RequireReleased();
    return 0;
}
