// The worker: a process of its own, started by the run (or by the run of
// the other width's program), that asks the plug-ins about the file. It
// maps the run's record read-only, copies what plug-ins are handed into a
// block of its own, asks the listed plug-ins of its width one at a time
// from where the record says, reporting every step on the pipe the run
// reads, and when one takes the file, decodes or lists it and places the
// result on the clipboard. Whatever a plug-in does to it (a fault, a stack
// overflow, a fast-fail, ExitProcess, a corrupted heap, a call that never
// returns) ends this process only: the run sees it and goes on with a new
// worker.
#include "app/app.h"

#include <string.h>

static const wchar_t WORKER_VARIABLE[] = L"QUORLEX_WORKER";
// "<block>,<events>,<ticks>": three handle values of 16 hexadecimal digits;
// a handle value means the same in a worker of either width.
constexpr int WORKER_DIGITS = 16;
constexpr int WORKER_TEXT = 3 * (WORKER_DIGITS + 1);

int Worker_Handles(WorkerHandles* handles) {
    wchar_t text[WORKER_TEXT];
    if (GetEnvironmentVariableW(WORKER_VARIABLE, text, WORKER_TEXT) != WORKER_TEXT - 1) {
        return 0;
    }
    // Nothing a plug-in starts is taken for a worker.
    (void)SetEnvironmentVariableW(WORKER_VARIABLE, nullptr);
    HANDLE* slots[] = {&handles->block, &handles->events, &handles->ticks};
    const wchar_t* p = text;
    for (HANDLE* slot : slots) {
        uint64_t value = 0;
        for (int i = 0; i < WORKER_DIGITS; ++i, ++p) {
            int digit = *p >= L'0' && *p <= L'9'   ? *p - L'0'
                        : *p >= L'A' && *p <= L'F' ? *p - L'A' + 10
                                                   : -1;
            if (digit < 0) {
                return 0;
            }
            value = value << 4 | static_cast<uint64_t>(digit);
        }
        if (*p != L',' && *p != L'\0') {
            return 0;
        }
        ++p;
        *slot = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(value));
    }
    return 1;
}

int Worker_Describe(const WorkerHandles* handles) {
    const HANDLE values[] = {handles->block, handles->events, handles->ticks};
    wchar_t text[WORKER_TEXT];
    wchar_t* p = text;
    for (HANDLE handle : values) {
        auto value = static_cast<uint64_t>(reinterpret_cast<ULONG_PTR>(handle));
        for (int i = WORKER_DIGITS - 1; i >= 0; --i) {
            *p++ = L"0123456789ABCDEF"[(value >> (4 * i)) & 15];
        }
        *p++ = L',';
    }
    p[-1] = L'\0';
    return SetEnvironmentVariableW(WORKER_VARIABLE, text) != 0;
}

// The block plug-ins are handed their input in. On x64 it lies below 4 GB
// at 0x10000 or above, tried at a few addresses there; elsewhere, and when
// none is free, wherever the system puts it.
static PluginInput* Worker_InputBlock() {
    constexpr SIZE_T size = sizeof(PluginInput);
#ifdef _WIN64
    for (ULONG_PTR at = 0x10000000; at + size <= 0xF0000000; at += 0x08000000) {
        void* block = VirtualAlloc(reinterpret_cast<void*>(at), size, MEM_RESERVE | MEM_COMMIT,
                                   PAGE_READWRITE);
        if (block != nullptr) {
            return static_cast<PluginInput*>(block);
        }
    }
#endif
    return static_cast<PluginInput*>(
        VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}

PluginInput* Worker_Input(const PluginRegistry* registry) {
    PluginInput* input = Worker_InputBlock();
    if (input == nullptr) {
        return nullptr;
    }
    // What the run wrote ends within its fields, whatever else is there.
    memcpy(input->head, registry->head, sizeof input->head);
    memcpy(input->path, registry->path, sizeof input->path);
    input->path[REGISTRY_PATH_UNITS - 1] = L'\0';
    memcpy(input->ansiPath, registry->ansiPath, sizeof input->ansiPath);
    input->ansiPath[REGISTRY_ANSI_BYTES - 1] = '\0';
    input->hasAnsiPath = registry->hasAnsiPath != 0;
    return input;
}

WorkerOutcome Worker_Serve(const PluginRegistry* registry, const PluginInput* input, HANDLE events,
                           int (*bindUser32)()) {
    // The DLLs that plug-ins load as they run do not come from the current
    // folder either. Should the call fail, each plug-in still loads from its
    // own full path.
    (void)SetDllDirectoryW(L"");
    PluginSearch search;
    Plugin_StartSearch(&search, registry, input, events);
    WorkerOutcome outcome = WorkerOutcome::NothingTaken;
    // USER32 is bound once a plug-in took the file, for placing what it
    // hands back: a worker that finds nothing, or is replaced, never loads
    // it. A worker that cannot bind it places nothing.
    while (Plugin_Find(&search) && bindUser32()) {
        WorkerOutcome taken = Worker_Take(&search);
        if (taken != WorkerOutcome::None) {
            outcome = taken;
            break;
        }
    }
    // Reported before the plug-in is freed: its goodbye may never come back.
    Plugin_Outcome(&search.report, outcome);
    Plugin_Release(&search);
    return outcome;
}
