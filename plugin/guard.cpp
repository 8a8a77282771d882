// The fault guard. MinGW has no __try, and a plug-in's code may carry no
// unwind information, so the guard works at the last stage of exception
// dispatch: an unhandled-exception filter, armed only while a plug-in runs,
// points the faulting thread at a stub on a stack of its own, which jumps
// back to where the call was made. A plug-in that handles its own
// exceptions still does: the filter runs only after every handler declined.
#include "plugin/guard.h"

#include <stdint.h>

static void* g_resume[5];
static volatile LONG g_armed;
// The stub runs here: after a stack overflow the thread's own stack has no
// room left for it.
alignas(16) static uint8_t g_rescueStack[4096];

[[noreturn]] __attribute__((noinline)) static void Guard_Resume() {
    __builtin_longjmp(g_resume, 1);
}

static LONG WINAPI Guard_Filter(EXCEPTION_POINTERS* exception) {
    if (!g_armed) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    g_armed = 0;
    CONTEXT* context = exception->ContextRecord;
    uintptr_t top = reinterpret_cast<uintptr_t>(g_rescueStack + sizeof g_rescueStack);
    // The stub is entered as if called: below the stack top sits the slot
    // of a return address.
#ifdef _WIN64
    context->Rsp = top - 8;
    context->Rip = reinterpret_cast<DWORD64>(&Guard_Resume);
#else
    context->Esp = top - 4;
    context->Eip = reinterpret_cast<DWORD>(&Guard_Resume);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

// Stack kept for the exception's own dispatch when a plug-in overflows its
// stack: without it Windows has no room to call the filter. (Wine 8 does not
// keep it for the main thread, and there an overflow still ends the run.)
constexpr ULONG GUARD_STACK_RESERVE = 64 * 1024;

void Guard_Install() {
    // The filter it replaces is none of the program's: it is not kept.
    (void)SetUnhandledExceptionFilter(Guard_Filter);
    ULONG reserve = GUARD_STACK_RESERVE;
    // Where the reserve cannot be had, a stack overflow ends the run as before.
    (void)SetThreadStackGuarantee(&reserve);
}

int Guard_Run(int (*call)(void* args), void* args, int* result) {
    // A faulting plug-in never restores the registers it saved; naming them
    // all here makes this function save them and restore them on its way out.
#ifdef _WIN64
    asm volatile("" ::
                     : "rbx", "rsi", "rdi", "r12", "r13", "r14", "r15", "xmm6", "xmm7", "xmm8",
                       "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15", "memory");
#else
    asm volatile("" ::: "ebx", "esi", "edi", "memory");
#endif
    if (__builtin_setjmp(g_resume) != 0) {
        return 0;
    }
    g_armed = 1;
    *result = call(args);
    g_armed = 0;
    return 1;
}
