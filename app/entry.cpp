// The process entry: the program runs without the C runtime's start-up code,
// so this is where the process begins and where it ends. The path comes from
// the UTF-16 command line, so that a name the ANSI code page cannot spell is
// not already lost to '?'.
#include "app/app.h"

#include <stdlib.h>

extern "C" void Startup_Entry() {
    int length = 0;
    const wchar_t* tail = Startup_Unquote(Startup_GetCommandTail(GetCommandLineW()), &length);
    char* path = Startup_AnsiPath(tail, length);
    int result = 0;
    if (path != nullptr) {
        result = WinMain(GetModuleHandleA(nullptr), nullptr, path, 1);
        LocalFree(path);
    }
    exit(result);
}
