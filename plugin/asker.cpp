// The asking thread and its watcher. The watcher sleeps on the asking
// thread's handle, waking when the call in progress would be past its
// limit or, between calls, now and then to see whether one has begun.
#include "plugin/asker.h"
#include "plugin/guard.h"
#include "plugin/search.h"

// How often the watcher looks while no call is in progress.
constexpr DWORD ASKER_POLL_MS = 250;
// Stack kept for an exception's own dispatch when a plug-in overflows the
// asking thread's stack: without it there is no room to call the filter.
constexpr ULONG ASKER_OVERFLOW_RESERVE = 64 * 1024;

struct Asker {
    void (*step)();
    volatile DWORD thread;
    volatile LONG finished;
    volatile LONG retired;
};

static Asker g_asker;

static DWORD WINAPI Asker_Main(void*) {
    g_asker.thread = GetCurrentThreadId();
    ULONG reserve = ASKER_OVERFLOW_RESERVE;
    // Where the reserve cannot be had, an overflow ends the thread, which
    // the watcher sees as the call failing.
    (void)SetThreadStackGuarantee(&reserve);
    g_asker.step();
    g_asker.finished = 1;
    return 0;
}

void Asker_Retire() {
    if (g_asker.thread == GetCurrentThreadId()) {
        g_asker.retired = 1;
        ExitThread(0);
    }
}

// Waits for the asking thread. 1 when a call in progress was lost: its
// thread died in it, or it stayed silent past its limit (the thread is then
// left where it is).
static int Asker_Watch(HANDLE thread) {
    for (;;) {
        if (g_asker.finished || g_asker.retired) {
            // A thread that is ending is not waited for long: a plug-in's
            // goodbye to it may never come back.
            (void)WaitForSingleObject(thread, GUARD_ANSWER_MS);
            return 0;
        }
        DWORD wait = Guard_TimeLeft();
        if (WaitForSingleObject(thread, wait < ASKER_POLL_MS ? wait : ASKER_POLL_MS) !=
            WAIT_TIMEOUT) {
            return Guard_GiveUp(0);
        }
        if (Guard_GiveUp(1)) {
            return 1;
        }
    }
}

int Asker_Run(void (*step)()) {
#ifdef QX_ASK_ON_CALLING_THREAD
    // The benchmark's build of the program without an asking thread, which
    // weighs what the thread costs.
    step();
    return 1;
#endif
    g_asker.step = step;
    for (;;) {
        g_asker.finished = 0;
        g_asker.retired = 0;
        g_asker.thread = 0;
        HANDLE thread = CreateThread(nullptr, ASKER_STACK, Asker_Main, nullptr,
                                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        if (thread == nullptr) {
            step();
            return 1;
        }
        int lost = Asker_Watch(thread);
        CloseHandle(thread);
        if (g_asker.finished) {
            return 1;
        }
        if (lost) {
            Plugin_Lost();
        } else if (!g_asker.retired) {
            return 0;
        }
        if (!Plugin_LoaderFree()) {
            // A plug-in lost while loading or freeing holds the loader: no
            // new thread could even start.
            return 0;
        }
    }
}
