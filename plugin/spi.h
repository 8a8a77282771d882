// The plug-in interface: the entry points of an image-input or archive
// plug-in (.spi), their wide-character twins that many plug-ins also export,
// the records they hand back, and the version texts.
// The x86 build is the 32-bit interface: stdcall, every argument one 32-bit
// word. The x64 build follows the 64-bit convention of published plug-ins:
// addresses and offsets are pointer-sized and the entry record is wider.
#pragma once

#include <windows.h>
#include <stddef.h>
#include <stdint.h>

// An offset or data word passed to GetPicture/GetArchiveInfo: 32 bits on x86,
// pointer-sized on x64.
typedef LONG_PTR SpiWord;
// Sizes and times in the entry record have the same width.
#ifdef _WIN64
typedef uint64_t SpiSize;
typedef int64_t SpiTime;
#else
typedef uint32_t SpiSize;
typedef int32_t SpiTime;
#endif

typedef int(WINAPI* SpiProgressProc)(int done, int total, SpiWord data);

typedef int(WINAPI* GetPluginInfoProc)(int infoNumber, LPSTR buffer, int bufferLength);
// `head` is the address of the file's first bytes; a value below 0x10000
// stands for an open file handle in this interface.
typedef int(WINAPI* IsSupportedProc)(LPCSTR path, void* head);
typedef int(WINAPI* GetPictureProc)(LPCSTR path, SpiWord offset, unsigned flag, HLOCAL* header,
                                    HLOCAL* pixels, SpiProgressProc progress, SpiWord data);
typedef int(WINAPI* GetArchiveInfoProc)(LPCSTR path, SpiWord offset, unsigned flag,
                                        HLOCAL* entries);
// The wide-character twins (IsSupportedW, GetPictureW, GetArchiveInfoW)
// take the file name as UTF-16 in the same argument and are otherwise the
// same; GetArchiveInfoW hands back ArchiveEntryInfoW records. The host calls
// them through the types above, the path passed on unchanged.

// Results of GetPicture and GetArchiveInfo.
enum {
    SPI_OK = 0,
    SPI_ABORTED = 1,
    SPI_UNKNOWN_FORMAT = 2,
    SPI_BROKEN_DATA = 3,
    SPI_NO_MEMORY = 4,
    SPI_READ_ERROR = 6,
    SPI_NOT_IMPLEMENTED = -1,
};

constexpr char SPI_VERSION_IMAGE[] = "00IN";
constexpr char SPI_VERSION_ARCHIVE[] = "00AM";
// A head address below this is a file handle, not a block.
constexpr uintptr_t SPI_HANDLE_LIMIT = 0x10000;

// Looks an entry point up by name; null when the plug-in lacks it.
inline void* Spi_Entry(HMODULE module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(module, name));
}

// Units in an entry record's path and file name fields.
constexpr int SPI_NAME_FIELD = 200;

#pragma pack(push, 1)
// One archive entry; an array of them ends with a record whose method
// begins with a zero byte.
struct ArchiveEntryInfo {
    char method[8];
    SpiSize position;
    SpiSize compsize;
    SpiSize filesize;
    SpiTime timestamp;
    char path[SPI_NAME_FIELD];
    char filename[SPI_NAME_FIELD];
    uint32_t crc;
#ifdef _WIN64
    uint8_t padding[4];
#endif
};
// The same entry from GetArchiveInfoW: path and file name in UTF-16.
struct ArchiveEntryInfoW {
    char method[8];
    SpiSize position;
    SpiSize compsize;
    SpiSize filesize;
    SpiTime timestamp;
    wchar_t path[SPI_NAME_FIELD];
    wchar_t filename[SPI_NAME_FIELD];
    uint32_t crc;
#ifdef _WIN64
    uint8_t padding[4];
#endif
};
#pragma pack(pop)

static_assert(offsetof(ArchiveEntryInfo, method) == 0, "method");
#ifdef _WIN64
static_assert(sizeof(void*) == 8 && sizeof(SpiWord) == 8, "64-bit words");
static_assert(offsetof(ArchiveEntryInfo, position) == 8, "position");
static_assert(offsetof(ArchiveEntryInfo, compsize) == 16, "compsize");
static_assert(offsetof(ArchiveEntryInfo, filesize) == 24, "filesize");
static_assert(offsetof(ArchiveEntryInfo, timestamp) == 32, "timestamp");
static_assert(offsetof(ArchiveEntryInfo, path) == 40, "path");
static_assert(offsetof(ArchiveEntryInfo, filename) == 240, "filename");
static_assert(offsetof(ArchiveEntryInfo, crc) == 440, "crc");
static_assert(sizeof(ArchiveEntryInfo) == 448, "64-bit entry record");
static_assert(offsetof(ArchiveEntryInfoW, timestamp) == 32, "wide timestamp");
static_assert(offsetof(ArchiveEntryInfoW, path) == 40, "wide path");
static_assert(offsetof(ArchiveEntryInfoW, filename) == 440, "wide filename");
static_assert(offsetof(ArchiveEntryInfoW, crc) == 840, "wide crc");
static_assert(sizeof(ArchiveEntryInfoW) == 848, "64-bit wide entry record");
#else
#ifndef QX_STAND_IN
// (The fuzz stand-in builds this layout with 64-bit pointers.)
static_assert(sizeof(void*) == 4 && sizeof(SpiWord) == 4 && sizeof(HLOCAL*) == 4,
              "every argument is one 32-bit word");
#endif
static_assert(offsetof(ArchiveEntryInfo, position) == 8, "position");
static_assert(offsetof(ArchiveEntryInfo, compsize) == 12, "compsize");
static_assert(offsetof(ArchiveEntryInfo, filesize) == 16, "filesize");
static_assert(offsetof(ArchiveEntryInfo, timestamp) == 20, "timestamp");
static_assert(offsetof(ArchiveEntryInfo, path) == 24, "path");
static_assert(offsetof(ArchiveEntryInfo, filename) == 224, "filename");
static_assert(offsetof(ArchiveEntryInfo, crc) == 424, "crc");
static_assert(sizeof(ArchiveEntryInfo) == 428, "32-bit entry record");
static_assert(offsetof(ArchiveEntryInfoW, timestamp) == 20, "wide timestamp");
static_assert(offsetof(ArchiveEntryInfoW, path) == 24, "wide path");
static_assert(offsetof(ArchiveEntryInfoW, filename) == 424, "wide filename");
static_assert(offsetof(ArchiveEntryInfoW, crc) == 824, "wide crc");
static_assert(sizeof(ArchiveEntryInfoW) == 828, "32-bit wide entry record");
#endif
static_assert(sizeof(wchar_t) == 2, "UTF-16 units");

static_assert(sizeof(BITMAPINFOHEADER) == 40, "bitmap header");
static_assert(offsetof(BITMAPINFOHEADER, biWidth) == 4 &&
                  offsetof(BITMAPINFOHEADER, biHeight) == 8 &&
                  offsetof(BITMAPINFOHEADER, biBitCount) == 14 &&
                  offsetof(BITMAPINFOHEADER, biCompression) == 16 &&
                  offsetof(BITMAPINFOHEADER, biSizeImage) == 20,
              "bitmap header fields");
