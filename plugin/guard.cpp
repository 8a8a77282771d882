// The fault guard. MinGW has no __try, and a plug-in's code may carry no
// unwind information, so the guard works at the last stage of exception
// dispatch: an unhandled-exception filter, armed for the asking thread only
// while a plug-in runs, points that thread at a stub on a stack of its own,
// which jumps back to where the call was made. A plug-in that handles its
// own exceptions still does: the filter runs only after every handler
// declined. Runtimes that plug-ins are built with set filters of their own;
// the guard's is set again before every call and, by a vectored handler
// that only does that, at the start of every exception's dispatch.
#include "plugin/guard.h"

#include <stdint.h>

// A call's state: its serial number while it runs, 0 between calls, and
// GUARD_GIVEN_UP once the watching thread has given it up.
constexpr LONG GUARD_GIVEN_UP = -1;

struct Guard {
    void** volatile resume; // where the armed thread's call was made
    volatile LONG armed;    // the id of the thread whose fault fails its call, or 0
    volatile LONG state;
    volatile LONG serial;
    volatile DWORD heard; // tick count when the call started or last reported progress
    volatile DWORD limit;
    DWORD watcher; // the thread that installed the guard, or 0
};

static Guard g_guard;
// The stub runs here: after a stack overflow the thread's own stack has no
// room left for it.
alignas(16) static uint8_t g_rescueStack[4096];

[[noreturn]] __attribute__((noinline)) static void Guard_Resume(void** resume) {
    __builtin_longjmp(resume, 1);
}

static LONG WINAPI Guard_Filter(EXCEPTION_POINTERS* exception) {
    LONG self = static_cast<LONG>(GetCurrentThreadId());
    if (InterlockedCompareExchange(&g_guard.armed, 0, self) == self) {
        // A C++ throw is raised as non-continuable: resumed with the flag
        // set, it would end the process with another exception.
        exception->ExceptionRecord->ExceptionFlags &= ~static_cast<DWORD>(EXCEPTION_NONCONTINUABLE);
        CONTEXT* context = exception->ContextRecord;
        uintptr_t top = reinterpret_cast<uintptr_t>(g_rescueStack + sizeof g_rescueStack);
        void** resume = g_guard.resume;
        // The stub is entered as if called, with the call's resume point
        // as its argument. x64: the slot of a return address, then the 32
        // bytes a callee may spill its arguments to, end at the stack top;
        // x86: the return slot and the argument.
#ifdef _WIN64
        context->Rsp = top - 40;
        context->Rcx = reinterpret_cast<DWORD64>(resume);
        context->Rip = reinterpret_cast<DWORD64>(&Guard_Resume);
#else
        reinterpret_cast<void***>(top)[-1] = resume;
        context->Esp = top - 8;
        context->Eip = reinterpret_cast<DWORD>(&Guard_Resume);
#endif
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    if (g_guard.watcher != 0 && static_cast<DWORD>(self) != g_guard.watcher) {
        // A plug-in's own thread, or an asking thread between calls: it ends
        // alone, and nothing of it is resumed into the search.
        (void)TerminateThread(GetCurrentThread(), exception->ExceptionRecord->ExceptionCode);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// First in every exception's dispatch: puts the guard's filter back in
// case the plug-in replaced it, and leaves the exception to its handlers.
static LONG WINAPI Guard_KeepFilter(EXCEPTION_POINTERS*) {
    (void)SetUnhandledExceptionFilter(Guard_Filter);
    return EXCEPTION_CONTINUE_SEARCH;
}

void Guard_Install() {
    g_guard.watcher = GetCurrentThreadId();
    // The filter it replaces is none of the program's: it is not kept.
    (void)SetUnhandledExceptionFilter(Guard_Filter);
    // Without the vectored handler, the filter is still set before each call.
    (void)AddVectoredExceptionHandler(1, Guard_KeepFilter);
}

// Ends the call with `serial`; a call the watcher gave up ends its thread.
static void Guard_End(LONG serial) {
    if (InterlockedCompareExchange(&g_guard.state, 0, serial) != serial) {
        ExitThread(0);
    }
}

int Guard_Run(int (*call)(void* args), void* args, int* result, DWORD limit) {
    // A faulting plug-in never restores the registers it saved; naming them
    // all here makes this function save them and restore them on its way out.
#ifdef _WIN64
    asm volatile("" ::
                     : "rbx", "rsi", "rdi", "r12", "r13", "r14", "r15", "xmm6", "xmm7", "xmm8",
                       "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15", "memory");
#else
    asm volatile("" ::: "ebx", "esi", "edi", "memory");
#endif
    (void)SetUnhandledExceptionFilter(Guard_Filter);
    volatile LONG serial = InterlockedIncrement(&g_guard.serial) & 0x7FFFFFFF;
    if (serial == 0) {
        serial = 1;
    }
    void* resume[5];
    if (__builtin_setjmp(resume) != 0) {
        Guard_End(serial);
        return 0;
    }
    g_guard.resume = resume;
    g_guard.heard = GetTickCount();
    g_guard.limit = limit;
    (void)InterlockedExchange(&g_guard.state, serial);
    LONG self = static_cast<LONG>(GetCurrentThreadId());
    (void)InterlockedExchange(&g_guard.armed, self);
    *result = call(args);
    Guard_End(serial);
    (void)InterlockedCompareExchange(&g_guard.armed, 0, self);
    return 1;
}

void Guard_Heard() {
    g_guard.heard = GetTickCount();
}

DWORD Guard_TimeLeft() {
    if (g_guard.state <= 0) {
        return INFINITE;
    }
    DWORD silent = GetTickCount() - g_guard.heard;
    DWORD limit = g_guard.limit;
    return silent >= limit ? 0 : limit - silent;
}

int Guard_GiveUp(int expiredOnly) {
    LONG serial = g_guard.state;
    if (serial <= 0 || (expiredOnly && GetTickCount() - g_guard.heard < g_guard.limit)) {
        return 0;
    }
    if (InterlockedCompareExchange(&g_guard.state, GUARD_GIVEN_UP, serial) != serial) {
        return 0;
    }
    // The thread of a call given up is no longer rescued: should it fault
    // later, it ends alone.
    (void)InterlockedExchange(&g_guard.armed, 0);
    return 1;
}
