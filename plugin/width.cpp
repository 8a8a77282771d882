// The width a plug-in file (or a program) is built for, read from its PE
// header before anything loads it: the Machine field of the file header,
// which the DOS header's e_lfanew (at 0x3C) leads to. A 64-bit process
// cannot load a 32-bit DLL and the other way round, whatever the file's
// extension says. A listed file's width is read by the worker when it is
// first to be asked: the files after the one that takes the file are never
// opened.
#include "plugin/registry.h"

#include <string.h>

constexpr WORD MZ_SIGNATURE = 0x5A4D;
constexpr DWORD PE_SIGNATURE = 0x00004550;
constexpr DWORD E_LFANEW_OFFSET = 0x3C;
// Read at once: the DOS header and, in every linker's usual layout, the PE
// header after it. A PE header further on takes a second read.
constexpr DWORD FIRST_READ = 1024;
constexpr DWORD PE_START = 6; // "PE\0\0" and the machine

static int Plugin_ReadAt(HANDLE file, DWORD offset, BYTE* bytes, DWORD length) {
    LARGE_INTEGER to;
    to.QuadPart = offset;
    DWORD read = 0;
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) &&
           ReadFile(file, bytes, length, &read, nullptr) && read == length;
}

WORD Plugin_FileMachine(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 0;
    }
    BYTE head[FIRST_READ];
    DWORD read = 0;
    WORD machine = 0;
    WORD mz = 0;
    DWORD at = 0;
    DWORD signature = 0;
    if (ReadFile(file, head, sizeof head, &read, nullptr) && read >= E_LFANEW_OFFSET + 4) {
        memcpy(&mz, head, 2);
        memcpy(&at, head + E_LFANEW_OFFSET, 4);
        const BYTE* pe = head + at;
        BYTE later[PE_START];
        if (mz != MZ_SIGNATURE) {
            pe = nullptr;
        } else if (at > read - PE_START) {
            pe = Plugin_ReadAt(file, at, later, sizeof later) ? later : nullptr;
        }
        // Only what the two headers say: "MZ", then "PE\0\0" and the machine.
        if (pe != nullptr) {
            memcpy(&signature, pe, 4);
            if (signature == PE_SIGNATURE) {
                memcpy(&machine, pe + 4, 2);
            }
        }
    }
    CloseHandle(file);
    return machine;
}
