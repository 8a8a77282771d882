// The process entry. The program is linked without the C runtime's
// start-up code, so this is where the process begins and where it ends, and
// no static constructor ever runs: every global is plain data. A process
// started as a worker asks the plug-ins; any other is a run. The path
// comes from the UTF-16 command line, so that a name the ANSI code page
// cannot spell is not already lost to '?'.
#include "app/app.h"

#include <stdlib.h>
#include <string.h>

extern "C" void Startup_Entry() {
    // No system dialog for a drive without a disk, a file that will not
    // open or a plug-in that crashes: the program shows only its own box.
    // A worker inherits the mode.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    HANDLE block;
    if (Worker_Block(&block)) {
        Worker_Main(block);
    }
    int length = 0;
    const wchar_t* tail = Startup_Unquote(Startup_GetCommandTail(GetCommandLineW()), &length);
    int result = 0;
    auto* path = static_cast<wchar_t*>(LocalAlloc(
        LMEM_FIXED | LMEM_ZEROINIT, (static_cast<SIZE_T>(length) + 1) * sizeof(wchar_t)));
    if (path != nullptr) {
        memcpy(path, tail, static_cast<SIZE_T>(length) * sizeof(wchar_t));
        result = wWinMain(GetModuleHandleW(nullptr), nullptr, path, 1);
        LocalFree(path);
    }
    exit(result);
}
