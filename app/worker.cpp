// The worker: a process of its own, started by the run (or by the run of
// the other width's program), that asks the plug-ins about the file. It
// maps the block the run shared with it, asks the listed plug-ins of its
// width one at a time from where the record says, and when one takes the
// file, decodes or lists it, places the result on the clipboard and writes
// the outcome. Whatever a plug-in does to it (a fault, a stack overflow, a
// fast-fail, ExitProcess, a corrupted heap, a call that never returns)
// ends this process only: the run sees it and goes on with a new worker.
#include "app/app.h"

static const wchar_t WORKER_VARIABLE[] = L"QUORLEX_WORKER";

int Worker_Block(HANDLE* block) {
    wchar_t text[24];
    DWORD length = GetEnvironmentVariableW(WORKER_VARIABLE, text, 24);
    if (length == 0 || length >= 24) {
        return 0;
    }
    // Nothing a plug-in starts is taken for a worker.
    (void)SetEnvironmentVariableW(WORKER_VARIABLE, nullptr);
    ULONG_PTR value = 0;
    for (const wchar_t* p = text; *p != L'\0'; ++p) {
        int digit = *p >= L'0' && *p <= L'9'   ? *p - L'0'
                    : *p >= L'A' && *p <= L'F' ? *p - L'A' + 10
                                               : -1;
        if (digit < 0) {
            return 0;
        }
        value = value * 16 + static_cast<ULONG_PTR>(digit);
    }
    *block = reinterpret_cast<HANDLE>(value);
    return 1;
}

int Worker_Describe(HANDLE block) {
    // The handle's value in hexadecimal: a handle value means the same in a
    // worker of either width.
    auto value = static_cast<uint64_t>(reinterpret_cast<ULONG_PTR>(block));
    wchar_t digits[17];
    int n = 0;
    do {
        digits[n++] = L"0123456789ABCDEF"[value & 15];
        value >>= 4;
    } while (value != 0);
    wchar_t text[17];
    for (int i = 0; i < n; ++i) {
        text[i] = digits[n - 1 - i];
    }
    text[n] = L'\0';
    return SetEnvironmentVariableW(WORKER_VARIABLE, text) != 0;
}

WorkerOutcome Worker_Serve(PluginRegistry* registry, int (*bindUser32)()) {
    // The DLLs that plug-ins load as they run do not come from the current
    // folder either. Should the call fail, each plug-in still loads from its
    // own full path.
    (void)SetDllDirectoryW(L"");
    PluginSearch search;
    Plugin_StartSearch(&search, registry);
    WorkerOutcome outcome = WorkerOutcome::NothingTaken;
    // USER32 is bound once a plug-in took the file, for placing what it
    // hands back: a worker that finds nothing, or is replaced, never loads
    // it. A worker that cannot bind it places nothing.
    while (Plugin_Find(&search) && bindUser32()) {
        WorkerOutcome taken = Startup_Take(&search);
        if (taken != WorkerOutcome::None) {
            outcome = taken;
            registry->report.taker = static_cast<uint32_t>(search.current);
            break;
        }
    }
    // Written before the plug-in is freed: its goodbye may never come back.
    registry->report.outcome = static_cast<uint32_t>(outcome);
    Plugin_Release(&search);
    return outcome;
}
