// The width a plug-in file (or a program) is built for, read from its PE
// header before anything loads it: the Machine field of the file header,
// which the DOS header's e_lfanew (at 0x3C) leads to. A 64-bit process
// cannot load a 32-bit DLL and the other way round, whatever the file's
// extension says.
#include "plugin/search.h"

#include <string.h>

constexpr WORD MZ_SIGNATURE = 0x5A4D;
constexpr DWORD PE_SIGNATURE = 0x00004550;
constexpr DWORD DOS_HEADER_SIZE = 64;
constexpr DWORD E_LFANEW_OFFSET = 0x3C;

static int Plugin_ReadAt(HANDLE file, DWORD offset, void* bytes, DWORD length) {
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
    BYTE dos[DOS_HEADER_SIZE];
    BYTE pe[6];
    WORD machine = 0;
    WORD mz;
    DWORD at;
    DWORD signature;
    if (Plugin_ReadAt(file, 0, dos, sizeof dos)) {
        memcpy(&mz, dos, 2);
        memcpy(&at, dos + E_LFANEW_OFFSET, 4);
        // Only what the two headers say: "MZ", then "PE\0\0" and the machine.
        if (mz == MZ_SIGNATURE && Plugin_ReadAt(file, at, pe, sizeof pe)) {
            memcpy(&signature, pe, 4);
            if (signature == PE_SIGNATURE) {
                memcpy(&machine, pe + 4, 2);
            }
        }
    }
    CloseHandle(file);
    return machine;
}
