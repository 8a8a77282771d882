// The program asking its plug-ins in its own process, with no worker: the
// benchmark weighs what a worker costs against it. The run's preparation
// and the worker's search are the program's own code; the search reports
// to nobody, and nothing guards the run against a plug-in.
#include "app/app.h"

#include <stdlib.h>
#include <string.h>

// As the program's own entry: the stack 16-byte aligned on x86.
#ifdef _WIN64
#define INPROCESS_ALIGNED
#else
#define INPROCESS_ALIGNED __attribute__((force_align_arg_pointer))
#endif

extern "C" INPROCESS_ALIGNED void Inprocess_Entry() {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    int length = 0;
    const wchar_t* tail = Startup_Unquote(Startup_GetCommandTail(GetCommandLineW()), &length);
    auto* path = static_cast<wchar_t*>(LocalAlloc(
        LMEM_FIXED | LMEM_ZEROINIT, (static_cast<SIZE_T>(length) + 1) * sizeof(wchar_t)));
    auto* registry = static_cast<PluginRegistry*>(
        LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, sizeof(PluginRegistry)));
    int result = 0;
    PluginFolders folders;
    if (path != nullptr && registry != nullptr) {
        memcpy(path, tail, static_cast<SIZE_T>(length) * sizeof(wchar_t));
        PluginInput* input =
            Run_Prepare(registry, path, &folders) ? Worker_Input(registry) : nullptr;
        WorkerOutcome outcome = input != nullptr
                                    ? Worker_Serve(registry, input, nullptr, Worker_BindUser32)
                                    : WorkerOutcome::None;
        result = outcome == WorkerOutcome::Decoded || outcome == WorkerOutcome::Listed;
    }
    exit(result);
}
