// USER32, bound by the worker: the program imports it from no import table,
// so that a run, which only reads files and starts its worker, never loads
// it (under Wine, USER32 makes a process a GUI one, at a cost to every
// run). Each USER32 function the program calls goes through the slot that
// an import library would have made for it (__imp_<name>); the worker
// fills the slots once a plug-in took the file, before it places anything.
// A plug-in that needs USER32 imports it itself.
#include "app/app.h"

// An import slot's symbol: x86 stdcall names carry their argument bytes.
#ifdef _WIN64
#define USER32_SLOT(name, bytes) "__imp_" #name
#define USER32_CDECL_SLOT(name) "__imp_" #name
#else
#define USER32_SLOT(name, bytes) "__imp__" #name "@" #bytes
#define USER32_CDECL_SLOT(name) "__imp__" #name
#endif

// The slots, filled by Worker_BindUser32.
extern "C" {
void* User32_CharNextA asm(USER32_SLOT(CharNextA, 4));
void* User32_CloseClipboard asm(USER32_SLOT(CloseClipboard, 0));
void* User32_CreateWindowExW asm(USER32_SLOT(CreateWindowExW, 48));
void* User32_DestroyWindow asm(USER32_SLOT(DestroyWindow, 4));
void* User32_EmptyClipboard asm(USER32_SLOT(EmptyClipboard, 0));
void* User32_MessageBoxA asm(USER32_SLOT(MessageBoxA, 16));
void* User32_MessageBoxW asm(USER32_SLOT(MessageBoxW, 16));
void* User32_OpenClipboard asm(USER32_SLOT(OpenClipboard, 4));
void* User32_RegisterClipboardFormatW asm(USER32_SLOT(RegisterClipboardFormatW, 4));
void* User32_SetClipboardData asm(USER32_SLOT(SetClipboardData, 8));
void* User32_wsprintfA asm(USER32_CDECL_SLOT(wsprintfA));
}

struct User32Import {
    const char* name;
    void** slot;
};

static const User32Import USER32_IMPORTS[] = {
    {"CharNextA", &User32_CharNextA},
    {"CloseClipboard", &User32_CloseClipboard},
    {"CreateWindowExW", &User32_CreateWindowExW},
    {"DestroyWindow", &User32_DestroyWindow},
    {"EmptyClipboard", &User32_EmptyClipboard},
    {"MessageBoxA", &User32_MessageBoxA},
    {"MessageBoxW", &User32_MessageBoxW},
    {"OpenClipboard", &User32_OpenClipboard},
    {"RegisterClipboardFormatW", &User32_RegisterClipboardFormatW},
    {"SetClipboardData", &User32_SetClipboardData},
    {"wsprintfA", &User32_wsprintfA},
};

int Worker_BindUser32() {
    if (User32_OpenClipboard != nullptr) {
        return 1;
    }
    // USER32 stays loaded until the worker ends.
    HMODULE user32 = LoadLibraryW(L"user32.dll");
    if (user32 == nullptr) {
        return 0;
    }
    // OpenClipboard's slot, which says the binding is done, is filled last.
    for (const User32Import& import : USER32_IMPORTS) {
        void* entry = reinterpret_cast<void*>(GetProcAddress(user32, import.name));
        if (entry == nullptr) {
            return 0;
        }
        if (import.slot != &User32_OpenClipboard) {
            *import.slot = entry;
        }
    }
    User32_OpenClipboard = reinterpret_cast<void*>(GetProcAddress(user32, "OpenClipboard"));
    return User32_OpenClipboard != nullptr;
}
