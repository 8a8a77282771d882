// Pictures with transparency: a 32-bit picture whose fourth bytes are
// alpha gets, beside its CF_DIB, a CF_DIBV5 whose header says so and a PNG,
// which pasting programs look for first. BI_RGB marks nothing as alpha, and
// without them a pasted picture shows the hidden colours of its transparent
// pixels.
#include "clipboard/clipboard.h"
#include "clipboard/png.h"

#include <string.h>

constexpr DWORD MASK_RED = 0x00FF0000;
constexpr DWORD MASK_GREEN = 0x0000FF00;
constexpr DWORD MASK_BLUE = 0x000000FF;
constexpr DWORD MASK_ALPHA = 0xFF000000;
// The colour space tag "sRGB" (the platform's LCS_sRGB, a multi-character
// constant).
constexpr DWORD COLOUR_SPACE_SRGB = 0x73524742;

static_assert(sizeof(BITMAPV5HEADER) == 124, "version 5 bitmap header");
static_assert(offsetof(BITMAPV5HEADER, bV5RedMask) == 40 &&
                  offsetof(BITMAPV5HEADER, bV5AlphaMask) == 52 &&
                  offsetof(BITMAPV5HEADER, bV5CSType) == 56 &&
                  offsetof(BITMAPV5HEADER, bV5Intent) == 108,
              "version 5 bitmap header fields");

// The pixel rows of a packed CF_DIB when they are 32-bit BGRA with room for
// every pixel and fourth bytes neither all 0 nor all 255; else null.
static const uint8_t* Clipboard_AlphaRows(const uint8_t* dib, uint64_t headerLength,
                                          uint64_t imageLength) {
    BITMAPINFOHEADER info;
    memcpy(&info, dib, sizeof info);
    if (info.biBitCount != 32 || info.biWidth <= 0 || info.biHeight == 0 ||
        info.biHeight == INT32_MIN) {
        return nullptr;
    }
    if (info.biCompression == BI_BITFIELDS) {
        // The masks follow the 40-byte header, or are its next fields.
        DWORD masks[3];
        memcpy(masks, dib + sizeof info, sizeof masks);
        if (masks[0] != MASK_RED || masks[1] != MASK_GREEN || masks[2] != MASK_BLUE) {
            return nullptr;
        }
    } else if (info.biCompression != BI_RGB) {
        return nullptr;
    }
    uint64_t height = info.biHeight < 0 ? -static_cast<int64_t>(info.biHeight) : info.biHeight;
    uint64_t pixels = static_cast<uint64_t>(info.biWidth) * height;
    if (pixels > imageLength / 4) {
        return nullptr;
    }
    // Every pixel's alpha AND-ed and OR-ed: all 255 leaves 255 in the AND,
    // all 0 leaves 0 in the OR.
    const uint8_t* rows = dib + headerLength;
    uint32_t all = 0xFFFFFFFFu;
    uint32_t any = 0;
    for (uint64_t i = 0; i < pixels; ++i) {
        uint32_t pixel;
        memcpy(&pixel, rows + i * 4, 4);
        all &= pixel;
        any |= pixel;
    }
    return all >> 24 != 0xFF && any >> 24 != 0 ? rows : nullptr;
}

static HGLOBAL Clipboard_DibV5(const BITMAPINFOHEADER* info, const uint8_t* rows,
                               uint64_t imageLength) {
    BITMAPV5HEADER v5 = {};
    v5.bV5Size = sizeof v5;
    v5.bV5Width = info->biWidth;
    v5.bV5Height = info->biHeight;
    v5.bV5Planes = 1;
    v5.bV5BitCount = 32;
    v5.bV5Compression = BI_BITFIELDS;
    v5.bV5SizeImage = static_cast<DWORD>(imageLength);
    v5.bV5XPelsPerMeter = info->biXPelsPerMeter;
    v5.bV5YPelsPerMeter = info->biYPelsPerMeter;
    v5.bV5RedMask = MASK_RED;
    v5.bV5GreenMask = MASK_GREEN;
    v5.bV5BlueMask = MASK_BLUE;
    v5.bV5AlphaMask = MASK_ALPHA;
    v5.bV5CSType = COLOUR_SPACE_SRGB;
    v5.bV5Intent = LCS_GM_IMAGES;
    if (imageLength > SIZE_MAX - sizeof v5) {
        return nullptr;
    }
    SIZE_T length = static_cast<SIZE_T>(imageLength);
    return Clipboard_Block(sizeof v5 + length, &v5, sizeof v5, sizeof v5, rows, length);
}

static HGLOBAL Clipboard_Png(const BITMAPINFOHEADER* info, const uint8_t* rows) {
    uint32_t width = static_cast<uint32_t>(info->biWidth);
    int bottomUp = info->biHeight > 0;
    uint32_t height = static_cast<uint32_t>(bottomUp ? info->biHeight : -info->biHeight);
    uint64_t length = Png_Length(width, height);
    if (length > SIZE_MAX) {
        return nullptr;
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(length));
    if (block == nullptr) {
        return nullptr;
    }
    auto* rowBuffer =
        static_cast<uint8_t*>(LocalAlloc(LMEM_FIXED, 1 + static_cast<SIZE_T>(width) * 4));
    auto* out = static_cast<uint8_t*>(GlobalLock(block));
    if (rowBuffer == nullptr || out == nullptr) {
        if (out != nullptr) {
            GlobalUnlock(block);
        }
        if (rowBuffer != nullptr) {
            LocalFree(rowBuffer);
        }
        GlobalFree(block);
        return nullptr;
    }
    Png_Write(out, rows, width, height, bottomUp, rowBuffer);
    LocalFree(rowBuffer);
    GlobalUnlock(block);
    // The block goes to the caller, who places or frees it.
    return block;
}

void Clipboard_TransparencyItems(HGLOBAL dib, uint64_t headerLength, uint64_t imageLength,
                                 ClipboardItem* dibV5, ClipboardItem* png) {
    dibV5->format = CF_DIBV5;
    dibV5->block = nullptr;
    png->format = 0;
    png->block = nullptr;
    const auto* bytes = static_cast<const uint8_t*>(GlobalLock(dib));
    if (bytes == nullptr) {
        return;
    }
    const uint8_t* rows = Clipboard_AlphaRows(bytes, headerLength, imageLength);
    if (rows != nullptr) {
        BITMAPINFOHEADER info;
        memcpy(&info, bytes, sizeof info);
        dibV5->block = Clipboard_DibV5(&info, rows, imageLength);
        png->format = RegisterClipboardFormatW(L"PNG");
        // A format that could not be registered is no format to place in.
        png->block = png->format != 0 ? Clipboard_Png(&info, rows) : nullptr;
    }
    GlobalUnlock(dib);
}
