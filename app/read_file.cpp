// Reads the head of the target file for the plug-ins' support test.
#include "app/app.h"

char* Util_ReadFile(const wchar_t* path, DWORD* sizeInOut) {
    if (*sizeInOut == MAXDWORD) {
        return nullptr;
    }
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    char* block = static_cast<char*>(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, *sizeInOut + 1));
    if (block == nullptr) {
        CloseHandle(file);
        return nullptr;
    }
    DWORD read = 0;
    if (!ReadFile(file, block, *sizeInOut, &read, nullptr)) {
        CloseHandle(file);
        LocalFree(block);
        return nullptr;
    }
    CloseHandle(file);
    *sizeInOut = read;
    // The block goes to the caller, who frees it.
    return block;
}
