// The process entry: the program runs without the C runtime's start-up code,
// so this is where the process begins and where it ends. The path comes from
// the UTF-16 command line, so that a name the ANSI code page cannot spell is
// not already lost to '?'.
#include "app/app.h"

#include <stdlib.h>

extern "C" void Startup_Entry() {
    // No system dialog for a drive without a disk, a file that will not
    // open or a plug-in that crashes: the program shows only its own box.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
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
