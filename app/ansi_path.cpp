// The path in the ANSI code page, which is what the plug-in interface
// passes. A name the code page cannot spell is reached through its short
// (8.3) path, which the system makes of characters the code page has.
#include "app/app.h"

#include <string.h>

// The text in the ANSI code page, in a new fixed local block, or null when
// the code page cannot spell it (no best-fit look-alikes, no '?').
static char* Startup_ToAnsi(const wchar_t* text, int length) {
    // A UTF-8 ANSI code page spells everything and takes no lossiness flag.
    BOOL lossy = FALSE;
    BOOL* lossyOut = GetACP() == CP_UTF8 ? nullptr : &lossy;
    DWORD flags = lossyOut != nullptr ? WC_NO_BEST_FIT_CHARS : 0;
    int n = length == 0
                ? 0
                : WideCharToMultiByte(CP_ACP, flags, text, length, nullptr, 0, nullptr, lossyOut);
    if ((length != 0 && n == 0) || lossy) {
        return nullptr;
    }
    char* ansi = static_cast<char*>(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, n + 1));
    if (ansi == nullptr) {
        return nullptr;
    }
    if (n != 0 &&
        WideCharToMultiByte(CP_ACP, flags, text, length, ansi, n, nullptr, lossyOut) != n) {
        LocalFree(ansi);
        return nullptr;
    }
    // The block goes to the caller, who frees it.
    return ansi;
}

// The short path of a file, in the ANSI code page, or null.
static char* Startup_ShortAnsiPath(const wchar_t* path, int length) {
    char* ansi = nullptr;
    wchar_t* longPath = static_cast<wchar_t*>(LocalAlloc(
        LMEM_FIXED | LMEM_ZEROINIT, (static_cast<SIZE_T>(length) + 1) * sizeof(wchar_t)));
    wchar_t* shortPath = nullptr;
    DWORD size = 0;
    DWORD capacity = 0;
    if (longPath == nullptr) {
        goto done;
    }
    memcpy(longPath, path, static_cast<SIZE_T>(length) * sizeof(wchar_t));
    size = GetShortPathNameW(longPath, nullptr, 0);
    if (size == 0) {
        goto done;
    }
    shortPath =
        static_cast<wchar_t*>(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, size * sizeof(wchar_t)));
    if (shortPath == nullptr) {
        goto done;
    }
    capacity = size;
    size = GetShortPathNameW(longPath, shortPath, capacity);
    // A path that grew between the two calls does not fit: no short path.
    if (size != 0 && size < capacity) {
        ansi = Startup_ToAnsi(shortPath, lstrlenW(shortPath));
    }
done:
    if (shortPath != nullptr) {
        LocalFree(shortPath);
    }
    if (longPath != nullptr) {
        LocalFree(longPath);
    }
    return ansi;
}

char* Startup_AnsiPath(const wchar_t* path, int length) {
    char* ansi = Startup_ToAnsi(path, length);
    return ansi != nullptr ? ansi : Startup_ShortAnsiPath(path, length);
}
