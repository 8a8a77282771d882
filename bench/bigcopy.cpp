// Benchmark helper for large pictures.
//   bigcopy make FILE       writes an 8192x8192 32-bit bitmap (256 MiB)
//   bigcopy opaque FILE     the same picture, every fourth byte 255
//   bigcopy alpha FILE      the same picture with alpha: fourth bytes vary
//   bigcopy copy FILE       reads FILE and makes one plain copy of its bytes
//                           in a global block: the work a picture's size
//                           alone asks for
//   bigcopy place FILE      the same, then places the copy (the file less
//                           its 14-byte file header) on the clipboard as
//                           CF_DIB: what Wine's clipboard adds
#include "clipboard/clipboard.h"

#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

constexpr LONG SIDE = 8192;

// The fourth byte of every pixel: as drawn (0 here), 255, or varying.
enum class Alpha { AsDrawn, Opaque, Varying };

static int BigCopy_Make(const char* path, Alpha alpha) {
    FILE* out = fopen(path, "wb");
    if (out == nullptr) {
        return 1;
    }
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = SIDE;
    info.biHeight = SIDE;
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biSizeImage = static_cast<DWORD>(SIDE) * SIDE * 4;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    int ok = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info, sizeof info, 1, out) == 1;
    static uint32_t row[SIDE];
    for (LONG y = 0; ok && y < SIDE; ++y) {
        for (LONG x = 0; x < SIDE; ++x) {
            row[x] = static_cast<uint32_t>(x * 31 + y * 17) & 0xFFFFFF;
            if (alpha == Alpha::Opaque) {
                row[x] |= 0xFF000000u;
            } else if (alpha == Alpha::Varying) {
                row[x] |= static_cast<uint32_t>((x ^ y) & 0xFF) << 24;
            }
        }
        ok = fwrite(row, sizeof row, 1, out) == 1;
    }
    return fclose(out) == 0 && ok ? 0 : 1;
}

static int BigCopy_Copy(const char* path, int place) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD size = GetFileSize(file, nullptr);
    void* bytes = HeapAlloc(GetProcessHeap(), 0, size);
    DWORD read = 0;
    int ok = bytes != nullptr && ReadFile(file, bytes, size, &read, nullptr) && read == size;
    CloseHandle(file);
    ok = ok && size > sizeof(BITMAPFILEHEADER);
    SIZE_T length = size - sizeof(BITMAPFILEHEADER);
    HGLOBAL copy = ok ? GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, length) : nullptr;
    if (copy != nullptr) {
        memcpy(GlobalLock(copy), static_cast<char*>(bytes) + sizeof(BITMAPFILEHEADER), length);
        GlobalUnlock(copy);
        int placed = 0;
        if (place && Clipboard_Open(nullptr)) {
            EmptyClipboard();
            placed = SetClipboardData(CF_DIB, copy) != nullptr;
            CloseClipboard();
        }
        if (!placed) {
            GlobalFree(copy);
        }
    }
    if (bytes != nullptr) {
        HeapFree(GetProcessHeap(), 0, bytes);
    }
    return ok && copy != nullptr ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "make") == 0) {
        return BigCopy_Make(argv[2], Alpha::AsDrawn);
    }
    if (argc == 3 && strcmp(argv[1], "opaque") == 0) {
        return BigCopy_Make(argv[2], Alpha::Opaque);
    }
    if (argc == 3 && strcmp(argv[1], "alpha") == 0) {
        return BigCopy_Make(argv[2], Alpha::Varying);
    }
    if (argc == 3 && strcmp(argv[1], "copy") == 0) {
        return BigCopy_Copy(argv[2], 0);
    }
    if (argc == 3 && strcmp(argv[1], "place") == 0) {
        return BigCopy_Copy(argv[2], 1);
    }
    fprintf(stderr, "usage: bigcopy make|opaque|alpha|copy|place FILE\n");
    return 2;
}
