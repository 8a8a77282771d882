// The shipped image-input plug-in: uncompressed Windows bitmaps (1, 4, 8, 16,
// 24 and 32 bits per pixel, bottom-up or top-down, with BI_BITFIELDS masks
// for 16 and 32 bits). It hands back a 40-byte header with a full colour
// table or the three masks, and the pixel rows as the file holds them. The
// wide-character entry points open a file named in UTF-16.
#include "format_plugins/common/spi_file.h"

#include <string.h>

constexpr uint32_t BMP_FILE_HEADER = 14;
constexpr uint32_t BMP_INFO_HEADER = 40;
constexpr uint32_t BMP_LARGEST_INFO = 1024;
// The file header, the longest info header, a full colour table and masks:
// all the bytes before the pixels that a decode looks at.
constexpr uint32_t BMP_HEAD = BMP_FILE_HEADER + BMP_LARGEST_INFO + 256 * 4 + 12;
constexpr uint64_t BMP_LARGEST_IMAGE = 0xFFFFFFFFull - 1064;

// The header a file starts with, when this plug-in can decode it.
static int Bmp_ReadHeader(const uint8_t* bytes, uint64_t size, BITMAPINFOHEADER* info) {
    if (size < BMP_FILE_HEADER + BMP_INFO_HEADER || bytes[0] != 'B' || bytes[1] != 'M') {
        return 0;
    }
    uint32_t infoSize = Spi_U32(bytes + BMP_FILE_HEADER);
    if (infoSize < BMP_INFO_HEADER || infoSize > BMP_LARGEST_INFO) {
        return 0;
    }
    memcpy(info, bytes + BMP_FILE_HEADER, sizeof *info);
    int masks = info->biCompression == BI_BITFIELDS;
    switch (info->biBitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
        if (info->biCompression != BI_RGB) {
            return 0;
        }
        break;
    case 16:
    case 32:
        if (info->biCompression != BI_RGB && !masks) {
            return 0;
        }
        break;
    default:
        return 0;
    }
    return info->biWidth > 0 && info->biHeight != 0 && info->biHeight != INT32_MIN;
}

// Where a bitmap's parts lie in its file, and how long they are.
struct BmpLayout {
    uint64_t tableAt;
    uint32_t stored;  // colour entries the file holds
    uint32_t colours; // colour entries handed back
    uint32_t masks;   // bytes of masks after a 40-byte header
    uint64_t pixelsAt;
    uint64_t image;
};

// SPI_OK when the headers, colour table and pixels all lie inside the
// file, the pixels after the headers.
static int Bmp_Layout(const uint8_t* head, const BITMAPINFOHEADER* info, uint64_t fileSize,
                      BmpLayout* layout) {
    uint64_t row = (static_cast<uint64_t>(info->biWidth) * info->biBitCount + 31) / 32 * 4;
    uint64_t rows =
        static_cast<uint64_t>(info->biHeight < 0 ? -int64_t{info->biHeight} : info->biHeight);
    if (row > BMP_LARGEST_IMAGE / rows) {
        return SPI_NO_MEMORY;
    }
    layout->image = row * rows;
    layout->colours = info->biBitCount <= 8 ? 1u << info->biBitCount : 0;
    layout->stored = info->biClrUsed != 0 && info->biClrUsed < layout->colours ? info->biClrUsed
                                                                               : layout->colours;
    layout->masks = info->biCompression == BI_BITFIELDS ? 12 : 0;
    layout->tableAt = BMP_FILE_HEADER + static_cast<uint64_t>(info->biSize);
    // Masks follow a 40-byte header, and sit at the same place inside a
    // longer one.
    uint64_t masksEnd = BMP_FILE_HEADER + BMP_INFO_HEADER + layout->masks;
    uint64_t tableEnd = layout->tableAt + layout->stored * 4;
    uint64_t headersEnd = tableEnd > masksEnd ? tableEnd : masksEnd;
    layout->pixelsAt = Spi_U32(head + 10);
    if (headersEnd > fileSize || layout->pixelsAt < headersEnd || layout->pixelsAt > fileSize ||
        layout->image > fileSize - layout->pixelsAt) {
        return SPI_BROKEN_DATA;
    }
    return SPI_OK;
}

// The 40-byte header with its full colour table or its masks.
static HLOCAL Bmp_Header(const uint8_t* head, BITMAPINFOHEADER info, const BmpLayout* layout) {
    uint32_t length = BMP_INFO_HEADER + layout->colours * 4 + layout->masks;
    info.biSize = BMP_INFO_HEADER;
    info.biSizeImage = static_cast<DWORD>(layout->image);
    info.biClrUsed = 0;
    if (info.biClrImportant > layout->colours) {
        info.biClrImportant = 0;
    }
    uint8_t bytes[BMP_INFO_HEADER + 256 * 4 + 12] = {};
    memcpy(bytes, &info, sizeof info);
    memcpy(bytes + BMP_INFO_HEADER, head + layout->tableAt, layout->stored * 4);
    memcpy(bytes + BMP_INFO_HEADER, head + BMP_FILE_HEADER + BMP_INFO_HEADER, layout->masks);
    return Spi_LocalCopy(bytes, length);
}

// The pixel rows, read from the file straight into the block handed back.
static HLOCAL Bmp_Pixels(const SpiSource* input, const BmpLayout* layout, int* result) {
    HLOCAL block = LocalAlloc(LMEM_MOVEABLE, static_cast<SIZE_T>(layout->image));
    void* bytes = block != nullptr ? LocalLock(block) : nullptr;
    if (bytes == nullptr) {
        if (block != nullptr) {
            LocalFree(block);
        }
        *result = SPI_NO_MEMORY;
        return nullptr;
    }
    int read = SpiSource_Read(input, layout->pixelsAt, bytes, layout->image);
    LocalUnlock(block);
    if (!read) {
        LocalFree(block);
        *result = SPI_READ_ERROR;
        return nullptr;
    }
    // The block goes to the caller, who frees it.
    return block;
}

static int Bmp_Decode(const SpiSource* input, HLOCAL* headerOut, HLOCAL* pixelsOut) {
    uint8_t head[BMP_HEAD] = {};
    uint64_t headLength = input->size < BMP_HEAD ? input->size : BMP_HEAD;
    if (!SpiSource_Read(input, 0, head, headLength)) {
        return SPI_READ_ERROR;
    }
    BITMAPINFOHEADER info;
    if (!Bmp_ReadHeader(head, headLength, &info)) {
        return SPI_UNKNOWN_FORMAT;
    }
    BmpLayout layout;
    int result = Bmp_Layout(head, &info, input->size, &layout);
    if (result != SPI_OK) {
        return result;
    }
    HLOCAL header = Bmp_Header(head, info, &layout);
    if (header == nullptr) {
        return SPI_NO_MEMORY;
    }
    HLOCAL pixels = Bmp_Pixels(input, &layout, &result);
    if (pixels == nullptr) {
        LocalFree(header);
        return result;
    }
    // Both blocks go to the caller, who frees them.
    *headerOut = header;
    *pixelsOut = pixels;
    return SPI_OK;
}

SPI_EXPORT int WINAPI GetPluginInfo(int infoNumber, LPSTR buffer, int bufferLength) {
    static const char* const info[4] = {SPI_VERSION_IMAGE, "Quorlex BMP plug-in 1.0", "*.bmp;*.dib",
                                        "Windows bitmap"};
    return Spi_PluginInfo(info, infoNumber, buffer, bufferLength);
}

SPI_EXPORT int WINAPI IsSupported(LPCSTR, void* head) {
    uint8_t buffer[BMP_FILE_HEADER + BMP_INFO_HEADER];
    const uint8_t* bytes = Spi_HeadBytes(head, buffer, sizeof buffer);
    BITMAPINFOHEADER info;
    return bytes != nullptr && Bmp_ReadHeader(bytes, sizeof buffer, &info);
}

// The support test looks at the head only: the name's form does not matter.
SPI_EXPORT int WINAPI IsSupportedW(LPCWSTR, void* head) {
    return IsSupported(nullptr, head);
}

// GetPicture and its wide twin, whose file is named in UTF-16.
static int Bmp_GetPicture(const void* source, int wide, SpiWord offset, unsigned flag,
                          HLOCAL* header, HLOCAL* pixels, SpiProgressProc progress, SpiWord data) {
    if (progress != nullptr && progress(0, 1, data) != 0) {
        return SPI_ABORTED;
    }
    SpiSource input;
    int result = SpiSource_Open(source, wide, offset, flag, &input);
    if (result == SPI_OK) {
        result = Bmp_Decode(&input, header, pixels);
        SpiSource_Close(&input);
    }
    if (result == SPI_OK && progress != nullptr) {
        // The picture is decoded: an abort asked for now changes nothing.
        (void)progress(1, 1, data);
    }
    return result;
}

SPI_EXPORT int WINAPI GetPicture(LPCSTR source, SpiWord offset, unsigned flag, HLOCAL* header,
                                 HLOCAL* pixels, SpiProgressProc progress, SpiWord data) {
    return Bmp_GetPicture(source, 0, offset, flag, header, pixels, progress, data);
}

SPI_EXPORT int WINAPI GetPictureW(LPCWSTR source, SpiWord offset, unsigned flag, HLOCAL* header,
                                  HLOCAL* pixels, SpiProgressProc progress, SpiWord data) {
    return Bmp_GetPicture(source, 1, offset, flag, header, pixels, progress, data);
}
