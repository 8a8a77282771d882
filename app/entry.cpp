// The process entry. The program is linked without the C runtime's
// start-up code, so this is where the process begins and where it ends, and
// no static constructor ever runs: every global is plain data. A process
// started as a worker asks the plug-ins; any other is a run. Both live
// here, beside USER32's binding: the tests' program links the rest with
// USER32 imported as usual. The path
// comes from the UTF-16 command line, so that a name the ANSI code page
// cannot spell is not already lost to '?'.
#include "app/app.h"

#include <stdlib.h>
#include <string.h>

// The x86 loader enters the program with the stack aligned to 4 bytes;
// GCC's i686 code, the program's and plug-ins', keeps 16-byte alignment
// for its SSE stores, which MinGW's own start-up code would have set up.
#ifdef _WIN64
#define STARTUP_ALIGNED
#else
#define STARTUP_ALIGNED __attribute__((force_align_arg_pointer))
#endif

// A worker's life: the record mapped and checked, the plug-ins asked, the
// process ended.
void Worker_Main(const WorkerHandles* handles) {
    // Read-only: the handle the run gave allows no more.
    auto* registry = static_cast<const PluginRegistry*>(
        MapViewOfFile(handles->block, FILE_MAP_READ, 0, 0, sizeof(PluginRegistry)));
    if (registry != nullptr && registry->magic == REGISTRY_MAGIC &&
        registry->size == sizeof(PluginRegistry) && Plugin_StartTicks(handles->ticks)) {
        PluginInput* input = Worker_Input(registry);
        if (input != nullptr) {
            Plugin_EndOnFault(handles->events);
            (void)Worker_Serve(registry, input, handles->events, Worker_BindUser32);
        }
    }
    // Everything is reported: no plug-in's DllMain runs on the way out.
    (void)TerminateProcess(GetCurrentProcess(), 0);
    // Only should ending itself fail.
    ExitProcess(0);
}

extern "C" STARTUP_ALIGNED void Startup_Entry() {
    // No system dialog for a drive without a disk, a file that will not
    // open or a plug-in that crashes: the program shows only its own box.
    // A worker inherits the mode.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    WorkerHandles handles;
    if (Worker_Handles(&handles)) {
        Worker_Main(&handles);
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
