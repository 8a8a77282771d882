// The command tail: everything after the program name. Only the space
// character separates. A tail that is one quoted path, as the shell passes a
// dropped file whose path holds a space, names the path between the quotes.
#include "app/app.h"

wchar_t* Startup_GetCommandTail(wchar_t* rawCommandLine) {
    wchar_t* p = rawCommandLine;
    if (*p == L'"') {
        do {
            ++p;
        } while (*p != L'\0' && *p != L'"');
        if (*p == L'\0') {
            return rawCommandLine;
        }
        ++p;
    } else {
        while (*p != L'\0' && *p != L' ') {
            ++p;
        }
    }
    while (*p == L' ') {
        ++p;
    }
    return p;
}

const wchar_t* Startup_Unquote(const wchar_t* tail, int* length) {
    *length = lstrlenW(tail);
    if (tail[0] != L'"') {
        return tail;
    }
    int closing = 1;
    while (closing < *length && tail[closing] != L'"') {
        ++closing;
    }
    if (closing == *length) {
        return tail;
    }
    for (int i = closing + 1; i < *length; ++i) {
        if (tail[i] != L' ') {
            return tail;
        }
    }
    *length = closing - 1;
    return tail + 1;
}
