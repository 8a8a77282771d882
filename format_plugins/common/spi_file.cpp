// Input reading and block hand-back for the shipped plug-ins.
#include "format_plugins/common/spi_file.h"

#include <string.h>

// One ReadFile at most this long: network shares refuse much longer reads.
constexpr DWORD SPI_READ_PIECE = 16u << 20;

int SpiSource_Open(const void* source, int wide, SpiWord offsetOrLength, unsigned flag,
                   SpiSource* input) {
    input->file = INVALID_HANDLE_VALUE;
    input->memory = nullptr;
    input->base = 0;
    input->size = 0;
    if ((flag & 7) == 1) {
        if (offsetOrLength < 0) {
            return SPI_READ_ERROR;
        }
        input->memory = static_cast<const uint8_t*>(source);
        input->size = static_cast<uint64_t>(offsetOrLength);
        return SPI_OK;
    }
    if ((flag & 7) != 0) {
        return SPI_NOT_IMPLEMENTED;
    }
    if (offsetOrLength < 0) {
        return SPI_READ_ERROR;
    }
    HANDLE file =
        wide ? CreateFileW(static_cast<const wchar_t*>(source), GENERIC_READ, FILE_SHARE_READ,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
             : CreateFileA(static_cast<const char*>(source), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return SPI_READ_ERROR;
    }
    LARGE_INTEGER size;
    uint64_t base = static_cast<uint64_t>(offsetOrLength);
    if (!GetFileSizeEx(file, &size) || static_cast<uint64_t>(size.QuadPart) < base) {
        CloseHandle(file);
        return SPI_READ_ERROR;
    }
    input->file = file;
    input->base = base;
    input->size = static_cast<uint64_t>(size.QuadPart) - base;
    return SPI_OK;
}

int SpiSource_Read(const SpiSource* input, uint64_t at, void* out, uint64_t length) {
    if (at > input->size || length > input->size - at) {
        return 0;
    }
    if (input->memory != nullptr) {
        memcpy(out, input->memory + at, static_cast<size_t>(length));
        return 1;
    }
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(input->base + at);
    if (!SetFilePointerEx(input->file, position, nullptr, FILE_BEGIN)) {
        return 0;
    }
    auto* bytes = static_cast<uint8_t*>(out);
    while (length > 0) {
        DWORD piece = length < SPI_READ_PIECE ? static_cast<DWORD>(length) : SPI_READ_PIECE;
        DWORD read = 0;
        if (!ReadFile(input->file, bytes, piece, &read, nullptr) || read != piece) {
            return 0;
        }
        bytes += piece;
        length -= piece;
    }
    return 1;
}

void SpiSource_Close(SpiSource* input) {
    if (input->file != INVALID_HANDLE_VALUE) {
        CloseHandle(input->file);
    }
    input->file = INVALID_HANDLE_VALUE;
}

HLOCAL Spi_LocalCopy(const void* bytes, SIZE_T length) {
    HLOCAL block = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, length);
    if (block == nullptr) {
        return nullptr;
    }
    // An empty block has no bytes to copy, and no address to lock.
    if (length == 0) {
        return block;
    }
    void* p = LocalLock(block);
    if (p == nullptr) {
        LocalFree(block);
        return nullptr;
    }
    if (bytes != nullptr) {
        memcpy(p, bytes, length);
    }
    LocalUnlock(block);
    // The block goes to the caller, who frees it.
    return block;
}

int Spi_PluginInfo(const char* const info[4], int infoNumber, LPSTR buffer, int length) {
    if (infoNumber < 0 || infoNumber >= 4 || buffer == nullptr || length <= 0) {
        return 0;
    }
    lstrcpynA(buffer, info[infoNumber], length);
    return lstrlenA(buffer);
}

const uint8_t* Spi_HeadBytes(void* head, uint8_t* buffer, DWORD size) {
    if (reinterpret_cast<uintptr_t>(head) >= SPI_HANDLE_LIMIT) {
        return static_cast<const uint8_t*>(head);
    }
    // An open file handle, read from where it stands.
    DWORD read = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(head), buffer, size, &read, nullptr) || read != size) {
        return nullptr;
    }
    return buffer;
}
