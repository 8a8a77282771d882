// The Win32 stand-in's calls, on memory. Blocks carry their size and lock
// count; a fixed block's handle is its address, a movable one's is the
// record. Files are the harness's bytes. Reads longer than a network share
// takes fail, as they do there.
#include "win32/fake.h"

#include <map>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>

namespace {

struct Block {
    size_t size;
    int locks;
    bool fixed;
    uint8_t* bytes;
};

struct FakeFile {
    const uint8_t* bytes;
    size_t size;
    uint64_t position;
};

constexpr DWORD LONGEST_READ = 64u << 20;
// Larger blocks are refused, as a system short of memory refuses them.
constexpr size_t LARGEST_BLOCK = 16u << 20;
size_t g_largestAllowed = LARGEST_BLOCK;

std::map<void*, Block> g_blocks;
std::map<std::string, FakeFile> g_files;
std::map<void*, FakeFile> g_open;
std::map<UINT, HANDLE> g_clipboard;
size_t g_held;
size_t g_peak;
size_t g_largest;
int g_failLock;
UINT g_codePage = 1252;

HANDLE Fake_Alloc(UINT flags, size_t size) {
    if (size > g_largestAllowed) {
        return nullptr;
    }
    auto* bytes = static_cast<uint8_t*>(malloc(size ? size : 1));
    if (bytes == nullptr) {
        return nullptr;
    }
    // What a caller does not write is garbage, as it is in a real block.
    memset(bytes, (flags & LMEM_ZEROINIT) ? 0 : 0xCD, size);
    bool fixed = (flags & LMEM_MOVEABLE) == 0;
    void* handle = fixed ? static_cast<void*>(bytes) : static_cast<void*>(new char);
    g_blocks[handle] = Block{size, 0, fixed, bytes};
    g_held += size;
    g_peak = g_held > g_peak ? g_held : g_peak;
    g_largest = size > g_largest ? size : g_largest;
    return handle;
}

Block* Fake_Find(void* handle) {
    auto found = g_blocks.find(handle);
    if (found == g_blocks.end()) {
        fprintf(stderr, "stand-in: %p is no block\n", handle);
        abort();
    }
    return &found->second;
}

HANDLE Fake_Free(void* handle) {
    if (handle == nullptr) {
        return nullptr;
    }
    Block* block = Fake_Find(handle);
    g_held -= block->size;
    free(block->bytes);
    if (!block->fixed) {
        delete static_cast<char*>(handle);
    }
    g_blocks.erase(handle);
    return nullptr;
}

void* Fake_Lock(void* handle) {
    Block* block = Fake_Find(handle);
    if (g_failLock > 0 && --g_failLock == 0) {
        return nullptr;
    }
    if (!block->fixed && block->size == 0) {
        return nullptr;
    }
    block->locks++;
    return block->bytes;
}

BOOL Fake_Unlock(void* handle) {
    Block* block = Fake_Find(handle);
    if (block->locks > 0) {
        block->locks--;
    }
    return block->locks > 0;
}

// Bytes of the character at `text` in the code page.
int Fake_CharLength(const uint8_t* text) {
    return IsDBCSLeadByte(text[0]) && text[1] != 0 ? 2 : 1;
}

} // namespace

void Fake_SetFile(const char* path, const uint8_t* bytes, size_t size) {
    g_files[path] = FakeFile{bytes, size, 0};
}

void Fake_SetCodePage(UINT codePage) {
    g_codePage = codePage;
}

void Fake_SetLargestBlock(size_t bytes) {
    g_largestAllowed = bytes;
}

void Fake_FailLock(int n) {
    g_failLock = n;
}

HANDLE Fake_ClipboardData(UINT format) {
    auto found = g_clipboard.find(format);
    return found == g_clipboard.end() ? nullptr : found->second;
}

void Fake_EmptyClipboard() {
    for (auto& item : g_clipboard) {
        Fake_Free(item.second);
    }
    g_clipboard.clear();
}

int Fake_LiveBlocks() {
    return static_cast<int>(g_blocks.size());
}

int Fake_LiveFiles() {
    return static_cast<int>(g_open.size());
}

size_t Fake_PeakBytes() {
    return g_peak;
}

void Fake_ResetPeak() {
    g_peak = g_held;
    g_largest = 0;
}

size_t Fake_LargestBlock() {
    return g_largest;
}

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
    return Fake_Alloc(flags, bytes);
}
void* LocalLock(HLOCAL block) {
    return Fake_Lock(block);
}
BOOL LocalUnlock(HLOCAL block) {
    return Fake_Unlock(block);
}
SIZE_T LocalSize(HLOCAL block) {
    return Fake_Find(block)->size;
}
HLOCAL LocalFree(HLOCAL block) {
    return Fake_Free(block);
}
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    return Fake_Alloc(flags, bytes);
}
void* GlobalLock(HGLOBAL block) {
    return Fake_Lock(block);
}
BOOL GlobalUnlock(HGLOBAL block) {
    return Fake_Unlock(block);
}
SIZE_T GlobalSize(HGLOBAL block) {
    return Fake_Find(block)->size;
}
HGLOBAL GlobalFree(HGLOBAL block) {
    return Fake_Free(block);
}

HGLOBAL GlobalReAlloc(HGLOBAL handle, SIZE_T bytes, UINT) {
    Block* block = Fake_Find(handle);
    if (block->fixed || block->locks > 0 || bytes > g_largestAllowed) {
        return nullptr;
    }
    auto* grown = static_cast<uint8_t*>(realloc(block->bytes, bytes ? bytes : 1));
    if (grown == nullptr) {
        return nullptr;
    }
    if (bytes > block->size) {
        memset(grown + block->size, 0xCD, bytes - block->size);
    }
    g_held = g_held - block->size + bytes;
    g_peak = g_held > g_peak ? g_held : g_peak;
    g_largest = bytes > g_largest ? bytes : g_largest;
    block->bytes = grown;
    block->size = bytes;
    return handle;
}

HANDLE GetProcessHeap() {
    static char heap;
    return &heap;
}

void* HeapAlloc(HANDLE, DWORD, SIZE_T bytes) {
    return Fake_Alloc(LMEM_FIXED, bytes);
}

BOOL HeapFree(HANDLE, DWORD, void* bytes) {
    Fake_Free(bytes);
    return TRUE;
}

HANDLE CreateFileA(LPCSTR path, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) {
    auto found = g_files.find(path);
    if (found == g_files.end()) {
        return INVALID_HANDLE_VALUE;
    }
    void* handle = new char;
    g_open[handle] = found->second;
    return handle;
}

// Only names the harness registered open: a UTF-16 name by its low bytes.
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD attributes, HANDLE templateFile) {
    std::string narrow;
    for (const wchar_t* p = path; *p != 0; ++p) {
        narrow += static_cast<char>(*p);
    }
    return CreateFileA(narrow.c_str(), access, share, security, disposition, attributes,
                       templateFile);
}

static FakeFile* Fake_OpenFile(HANDLE handle) {
    auto found = g_open.find(handle);
    if (found == g_open.end()) {
        fprintf(stderr, "stand-in: %p is no open file\n", handle);
        abort();
    }
    return &found->second;
}

BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size) {
    size->QuadPart = static_cast<LONGLONG>(Fake_OpenFile(file)->size);
    return TRUE;
}

BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER to, LARGE_INTEGER* at, DWORD) {
    if (to.QuadPart < 0) {
        return FALSE;
    }
    Fake_OpenFile(file)->position = static_cast<uint64_t>(to.QuadPart);
    if (at != nullptr) {
        *at = to;
    }
    return TRUE;
}

BOOL ReadFile(HANDLE file, void* bytes, DWORD length, DWORD* read, void*) {
    FakeFile* f = Fake_OpenFile(file);
    *read = 0;
    if (length > LONGEST_READ) {
        return FALSE;
    }
    if (f->position < f->size) {
        uint64_t left = f->size - f->position;
        *read = length < left ? length : static_cast<DWORD>(left);
        memcpy(bytes, f->bytes + f->position, *read);
        f->position += *read;
    }
    return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
    Fake_OpenFile(handle);
    g_open.erase(handle);
    delete static_cast<char*>(handle);
    return TRUE;
}

int lstrlenA(LPCSTR text) {
    return text == nullptr ? 0 : static_cast<int>(strlen(text));
}

LPSTR lstrcpynA(LPSTR to, LPCSTR from, int length) {
    if (length <= 0) {
        return to;
    }
    int n = 0;
    while (n < length - 1 && from[n] != '\0') {
        to[n] = from[n];
        ++n;
    }
    to[n] = '\0';
    return to;
}

BOOL IsDBCSLeadByte(BYTE byte) {
    return g_codePage == 932 && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
}

// The OEM code page is the ANSI one here: both single-byte, or both 932.
BOOL IsDBCSLeadByteEx(UINT codePage, BYTE byte) {
    return (codePage == CP_ACP || codePage == CP_OEMCP) && IsDBCSLeadByte(byte);
}

LPSTR CharNextA(LPCSTR text) {
    const auto* p = reinterpret_cast<const uint8_t*>(text);
    return const_cast<LPSTR>(text + (*p == 0 ? 0 : Fake_CharLength(p)));
}

UINT GetACP() {
    return g_codePage;
}

// UTF-8 the way the system decodes it: a malformed sequence is one U+FFFD.
// The ANSI code page: 1252 as Latin-1, and in 932 a double-byte character
// as one unit (U+4E00 and up). A `wideLength` of 0 asks for the length.
int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int length, wchar_t* wide,
                        int wideLength) {
    if ((codePage != CP_UTF8 && codePage != CP_ACP && codePage != CP_OEMCP) || length < 0) {
        return 0;
    }
    const auto* p = reinterpret_cast<const uint8_t*>(text);
    int n = 0;
    for (int at = 0; at < length;) {
        uint32_t c = p[at];
        int i = 1;
        if (codePage != CP_UTF8) {
            if (IsDBCSLeadByte(p[at]) && at + 1 < length) {
                c = 0x4E00 + (c << 8 | p[at + 1]) % 0x5000;
                i = 2;
            }
        } else {
            int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
            c = extra == 3 ? c & 7 : extra == 2 ? c & 15 : extra == 1 ? c & 31 : c;
            for (; i <= extra && at + i < length && (p[at + i] & 0xC0) == 0x80; ++i) {
                c = c << 6 | (p[at + i] & 63);
            }
            if (i <= extra || (c >= 0x80 && c < 0xA0 && extra == 0)) {
                c = 0xFFFD;
            }
        }
        at += i;
        if (wideLength != 0) {
            if (n >= wideLength) {
                return 0;
            }
            wide[n] = static_cast<wchar_t>(c);
        }
        ++n;
    }
    return n;
}

DWORD GetTickCount() {
    return 0;
}

void Sleep(DWORD) {}

int lstrlenW(LPCWSTR text) {
    int n = 0;
    while (text[n] != 0) {
        ++n;
    }
    return n;
}

HWND CreateWindowExW(DWORD, LPCWSTR, LPCWSTR, DWORD, int, int, int, int, HWND, void*, HINSTANCE,
                     void*) {
    return nullptr;
}

BOOL DestroyWindow(HWND) {
    return TRUE;
}

UINT RegisterClipboardFormatW(LPCWSTR) {
    return 0xC100;
}

// Code page 1252 as Latin-1; code page 932 as two bytes (0x88, 0x9F) for
// every character beyond ASCII. Either is enough to exercise the callers.
int WideCharToMultiByte(UINT, DWORD, const wchar_t* wide, int wideLength, LPSTR text, int length,
                        LPCSTR, BOOL* usedDefault) {
    int n = 0;
    for (int i = 0; i < wideLength; ++i) {
        uint32_t c = static_cast<uint32_t>(wide[i]);
        uint8_t bytes[2] = {static_cast<uint8_t>(c), 0};
        int count = 1;
        if (c >= 0x80 && g_codePage == 932) {
            bytes[0] = 0x88;
            bytes[1] = 0x9F;
            count = 2;
        } else if (c > 0xFF) {
            bytes[0] = '?';
            if (usedDefault != nullptr) {
                *usedDefault = TRUE;
            }
        }
        if (length != 0) {
            if (n + count > length) {
                return 0;
            }
            memcpy(text + n, bytes, count);
        }
        n += count;
    }
    return n;
}

int wsprintfA(LPSTR out, LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    int n = vsnprintf(out, 1025, format, args);
    va_end(args);
    return n < 1024 ? n : 1024;
}

BOOL OpenClipboard(HWND) {
    return TRUE;
}

BOOL EmptyClipboard() {
    Fake_EmptyClipboard();
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
    Fake_Find(data);
    g_clipboard[format] = data;
    return data;
}

BOOL CloseClipboard() {
    return TRUE;
}
