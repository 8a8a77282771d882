// The sample image-input plug-in: uncompressed Windows bitmaps (1, 4, 8, 16,
// 24 and 32 bits per pixel, bottom-up or top-down, with BI_BITFIELDS masks
// for 16 and 32 bits). It hands back a 40-byte header with a full colour
// table or the three masks, and the pixel rows as the file holds them.
#include "format_plugins/common/spi_file.h"

#include <string.h>

constexpr uint32_t BMP_FILE_HEADER = 14;
constexpr uint32_t BMP_INFO_HEADER = 40;
constexpr uint64_t BMP_LARGEST_IMAGE = 0xFFFFFFFFull - 1064;

static uint32_t Bmp_U32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The header a file starts with, when this plug-in can decode it.
static int Bmp_ReadHeader(const uint8_t* bytes, uint64_t size, BITMAPINFOHEADER* info) {
    if (size < BMP_FILE_HEADER + BMP_INFO_HEADER || bytes[0] != 'B' || bytes[1] != 'M') {
        return 0;
    }
    uint32_t infoSize = Bmp_U32(bytes + BMP_FILE_HEADER);
    if (infoSize < BMP_INFO_HEADER || infoSize > 1024) {
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

static int Bmp_Decode(const uint8_t* bytes, uint64_t size, HLOCAL* headerOut, HLOCAL* pixelsOut) {
    BITMAPINFOHEADER info;
    if (!Bmp_ReadHeader(bytes, size, &info)) {
        return SPI_UNKNOWN_FORMAT;
    }
    uint32_t infoSize = info.biSize;
    uint64_t row = (static_cast<uint64_t>(info.biWidth) * info.biBitCount + 31) / 32 * 4;
    uint64_t rows =
        static_cast<uint64_t>(info.biHeight < 0 ? -int64_t{info.biHeight} : info.biHeight);
    if (row > BMP_LARGEST_IMAGE / rows) {
        return SPI_NO_MEMORY;
    }
    uint64_t image = row * rows;
    uint32_t colours = info.biBitCount <= 8 ? 1u << info.biBitCount : 0;
    uint32_t stored = info.biClrUsed != 0 && info.biClrUsed < colours ? info.biClrUsed : colours;
    uint32_t masks = info.biCompression == BI_BITFIELDS ? 3 : 0;
    uint64_t tableAt = BMP_FILE_HEADER + static_cast<uint64_t>(infoSize);
    // Masks follow a 40-byte header, and sit at the same place inside a
    // longer one.
    uint64_t masksEnd = BMP_FILE_HEADER + BMP_INFO_HEADER + masks * 4;
    uint64_t pixelsAt = Bmp_U32(bytes + 10);
    if (tableAt + stored * 4 > size || masksEnd > size || pixelsAt + image > size) {
        return SPI_BROKEN_DATA;
    }

    uint32_t headerLength = BMP_INFO_HEADER + colours * 4 + masks * 4;
    HLOCAL header = Spi_LocalCopy(nullptr, headerLength);
    HLOCAL pixels = Spi_LocalCopy(bytes + pixelsAt, static_cast<SIZE_T>(image));
    uint8_t* out = header != nullptr ? static_cast<uint8_t*>(LocalLock(header)) : nullptr;
    if (out == nullptr || pixels == nullptr) {
        if (header != nullptr) {
            LocalFree(header);
        }
        if (pixels != nullptr) {
            LocalFree(pixels);
        }
        return SPI_NO_MEMORY;
    }
    info.biSize = BMP_INFO_HEADER;
    info.biSizeImage = static_cast<DWORD>(image);
    info.biClrUsed = 0;
    if (info.biClrImportant > colours) {
        info.biClrImportant = 0;
    }
    memcpy(out, &info, sizeof info);
    memcpy(out + BMP_INFO_HEADER, bytes + tableAt, stored * 4);
    memcpy(out + BMP_INFO_HEADER, bytes + BMP_FILE_HEADER + BMP_INFO_HEADER, masks * 4);
    LocalUnlock(header);
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

SPI_EXPORT int WINAPI GetPicture(LPCSTR source, SpiWord offset, unsigned flag, HLOCAL* header,
                                 HLOCAL* pixels, SpiProgressProc progress, SpiWord data) {
    if (progress != nullptr && progress(0, 1, data) != 0) {
        return SPI_ABORTED;
    }
    SpiInput input;
    int result = SpiInput_Read(source, offset, flag, &input);
    if (result == SPI_OK) {
        result = Bmp_Decode(input.bytes, input.size, header, pixels);
        SpiInput_Free(&input);
    }
    if (result == SPI_OK && progress != nullptr) {
        // The picture is decoded: an abort asked for now changes nothing.
        (void)progress(1, 1, data);
    }
    return result;
}
