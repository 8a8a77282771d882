// Comparing plug-in file and folder names the way the file system does:
// ordinal, without regard to case. A folder lists its plug-ins in this
// order on every file system, whatever order its directory gives.
#include "plugin/registry.h"

static wchar_t Plugin_Upcase(wchar_t c) {
    if (c < 0x80) {
        return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 0x20) : c;
    }
    // The system's own upper case, as CharUpperW gives it, from KERNEL32:
    // the run loads no USER32.
    wchar_t upper = c;
    return LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, &c, 1, &upper, 1) == 1 ? upper : c;
}

// Compares up to the end of the shorter text; `length` limits both.
static int Plugin_CompareUpcased(const wchar_t* a, const wchar_t* b, int length) {
    for (int i = 0; i < length; ++i) {
        wchar_t x = Plugin_Upcase(a[i]);
        wchar_t y = Plugin_Upcase(b[i]);
        if (x != y || x == L'\0') {
            return static_cast<int>(x) - static_cast<int>(y);
        }
    }
    return 0;
}

int Plugin_CompareNames(const wchar_t* a, const wchar_t* b) {
    int order = Plugin_CompareUpcased(a, b, PLUGIN_PATH_SIZE);
    if (order != 0) {
        return order;
    }
    // Names that differ only in case still come in one order.
    int i = 0;
    while (a[i] == b[i] && a[i] != L'\0') {
        ++i;
    }
    return static_cast<int>(a[i]) - static_cast<int>(b[i]);
}

static int Plugin_TrimmedLength(const wchar_t* dir) {
    int length = lstrlenW(dir);
    while (length > 0 && dir[length - 1] == L'\\') {
        --length;
    }
    return length;
}

int Plugin_SameFolder(const wchar_t* a, const wchar_t* b) {
    int length = Plugin_TrimmedLength(a);
    return length == Plugin_TrimmedLength(b) && Plugin_CompareUpcased(a, b, length) == 0;
}

int Plugin_HasExtension(const wchar_t* name, const wchar_t* extension) {
    int length = lstrlenW(name);
    int tail = lstrlenW(extension);
    return length > tail && Plugin_CompareUpcased(name + length - tail, extension, tail + 1) == 0;
}
