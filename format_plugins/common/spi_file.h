// What the shipped plug-ins share: reading their input whole, and handing
// bytes back as the local blocks the interface asks for.
#pragma once

#include "plugin/spi.h"

#define SPI_EXPORT extern "C" __declspec(dllexport)

// Plug-in error codes of the interface.
enum {
    SPI_OK = 0,
    SPI_ABORTED = 1,
    SPI_UNKNOWN_FORMAT = 2,
    SPI_BROKEN_DATA = 3,
    SPI_NO_MEMORY = 4,
    SPI_READ_ERROR = 6,
    SPI_NOT_IMPLEMENTED = -1,
};

// The input of GetPicture or GetArchiveInfo: a file read from `offset` to
// its end, or, with flag bits 0-2 equal to 1, `length` bytes in memory at
// `source`. Freed with SpiInput_Free.
struct SpiInput {
    const uint8_t* bytes;
    uint64_t size;
    uint8_t* owned; // heap block when read from a file
};

// SPI_OK, or the error code to return.
int SpiInput_Read(const char* source, SpiWord offsetOrLength, unsigned flag, SpiInput* input);
void SpiInput_Free(SpiInput* input);

// A new movable local block holding a copy of `length` bytes (zeros where
// `bytes` is null); null when it cannot be allocated.
HLOCAL Spi_LocalCopy(const void* bytes, SIZE_T length);

// Answers GetPluginInfo from the plug-in's four texts: interface version,
// name, file patterns and format name.
int Spi_PluginInfo(const char* const info[4], int infoNumber, LPSTR buffer, int length);

// The first `size` bytes of the file for IsSupported: the head block itself,
// or, when `head` is an open file handle (below 0x10000), bytes read from it
// into `buffer`; null when they cannot be read.
const uint8_t* Spi_HeadBytes(void* head, uint8_t* buffer, DWORD size);
