// What the shipped plug-ins share: their input, read in bounded pieces from
// a file or a block in memory, and the local blocks the interface asks for.
#pragma once

#include "plugin/spi.h"

#define SPI_EXPORT extern "C" __declspec(dllexport)

// The input of GetPicture or GetArchiveInfo: an open file from `base` to its
// end, or, with flag bits 0-2 equal to 1, `size` bytes in memory.
struct SpiSource {
    HANDLE file;
    const uint8_t* memory;
    uint64_t base;
    uint64_t size;
};

// SPI_OK, or the error code to return. `source` names a file, in ANSI or
// (with `wide`, for the plug-ins' wide entry points) in UTF-16, read from
// `offsetOrLength`; in memory, it is the block and `offsetOrLength` its
// length.
int SpiSource_Open(const void* source, int wide, SpiWord offsetOrLength, unsigned flag,
                   SpiSource* input);
// Reads `length` bytes from `at` (counted from the input's start), a file in
// pieces that any file system takes; 0 when they are not all there.
int SpiSource_Read(const SpiSource* input, uint64_t at, void* out, uint64_t length);
// Closes the file; safe to call twice.
void SpiSource_Close(SpiSource* input);

// Little-endian fields of a file's bytes.
inline uint16_t Spi_U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t Spi_U32(const uint8_t* p) {
    return Spi_U16(p) | static_cast<uint32_t>(Spi_U16(p + 2)) << 16;
}

inline uint64_t Spi_U64(const uint8_t* p) {
    return Spi_U32(p) | static_cast<uint64_t>(Spi_U32(p + 4)) << 32;
}

// A new movable local block holding a copy of `length` bytes (zeros where
// `bytes` is null); null when it cannot be allocated or locked.
HLOCAL Spi_LocalCopy(const void* bytes, SIZE_T length);

// Answers GetPluginInfo from the plug-in's four texts: interface version,
// name, file patterns and format name.
int Spi_PluginInfo(const char* const info[4], int infoNumber, LPSTR buffer, int length);

// The first `size` bytes of the file for IsSupported: the head block itself,
// or, when `head` is an open file handle (below 0x10000), bytes read from it
// into `buffer`; null when they cannot be read.
const uint8_t* Spi_HeadBytes(void* head, uint8_t* buffer, DWORD size);
