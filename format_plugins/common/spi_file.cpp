// Input reading and block hand-back for the shipped plug-ins.
#include "format_plugins/common/spi_file.h"

#include <string.h>

int SpiInput_Read(const char* source, SpiWord offsetOrLength, unsigned flag, SpiInput* input) {
    input->bytes = nullptr;
    input->size = 0;
    input->owned = nullptr;
    if ((flag & 7) == 1) {
        input->bytes = reinterpret_cast<const uint8_t*>(source);
        input->size = static_cast<uint64_t>(offsetOrLength);
        return SPI_OK;
    }
    if ((flag & 7) != 0) {
        return SPI_NOT_IMPLEMENTED;
    }
    HANDLE file = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return SPI_READ_ERROR;
    }
    int result = SPI_READ_ERROR;
    LARGE_INTEGER size;
    LARGE_INTEGER start;
    start.QuadPart = offsetOrLength;
    if (GetFileSizeEx(file, &size) && offsetOrLength >= 0 && start.QuadPart <= size.QuadPart &&
        SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
        uint64_t wanted = static_cast<uint64_t>(size.QuadPart - start.QuadPart);
        if (wanted >= MAXDWORD || wanted >= SIZE_MAX) {
            result = SPI_NO_MEMORY;
        } else {
            auto* bytes = static_cast<uint8_t*>(
                HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(wanted) + 1));
            DWORD read = 0;
            if (bytes == nullptr) {
                result = SPI_NO_MEMORY;
            } else if (ReadFile(file, bytes, static_cast<DWORD>(wanted), &read, nullptr) &&
                       read == wanted) {
                input->bytes = bytes;
                input->size = wanted;
                input->owned = bytes;
                result = SPI_OK;
            } else {
                HeapFree(GetProcessHeap(), 0, bytes);
            }
        }
    }
    CloseHandle(file);
    return result;
}

void SpiInput_Free(SpiInput* input) {
    if (input->owned != nullptr) {
        HeapFree(GetProcessHeap(), 0, input->owned);
    }
    input->owned = nullptr;
    input->bytes = nullptr;
    input->size = 0;
}

HLOCAL Spi_LocalCopy(const void* bytes, SIZE_T length) {
    HLOCAL block = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, length);
    if (block == nullptr) {
        return nullptr;
    }
    void* p = LocalLock(block);
    if (p != nullptr) {
        if (bytes != nullptr) {
            memcpy(p, bytes, length);
        }
        LocalUnlock(block);
    }
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
