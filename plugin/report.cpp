// The worker's report to the run: each event written whole to the pipe the
// run reads; the worker's processor time from a thread that does nothing
// else; and, should the worker die of a fault, which thread faulted. The
// worker's last chance is set again before every call, for runtimes that
// plug-ins are built with set filters of their own.
#include "plugin/report.h"

// The pipe a fault is reported on: set once the worker has it.
static HANDLE g_faultEvents;

// Writes one event; a pipe the run no longer reads is the run's end, and
// then nothing is worth reporting.
static void Plugin_Send(HANDLE pipe, const WorkerEvent* event) {
    if (pipe == nullptr) {
        return;
    }
    DWORD written;
    (void)WriteFile(pipe, event, sizeof *event, &written, nullptr);
}

static void Plugin_Sized(const PluginReport* report, WorkerEventKind kind, PluginStep step,
                         int32_t result, int32_t width, int32_t height, uint32_t depth) {
    WorkerEvent event = {};
    event.kind = static_cast<uint32_t>(kind);
    event.file = report->file;
    event.pass = report->pass;
    event.step = static_cast<uint32_t>(step);
    event.result = result;
    event.width = width;
    event.height = height;
    event.depth = depth;
    Plugin_Send(report->events, &event);
}

static void Plugin_Event(const PluginReport* report, WorkerEventKind kind, PluginStep step,
                         int32_t result) {
    Plugin_Sized(report, kind, step, result, 0, 0, 0);
}

// The last chance of every thread of the worker: it reports which thread
// faulted (the run blames nobody for a fault on a plug-in's own thread)
// and ends the process at once and quietly, with the exception's code: no
// crash dialog, no debugger, nothing of the plug-ins run on the way out.
static LONG WINAPI Plugin_Filter(EXCEPTION_POINTERS* exception) {
    PluginReport report = {g_faultEvents, 0, 0};
    Plugin_Event(&report, WorkerEventKind::Fault, PluginStep::Between,
                 static_cast<int32_t>(GetCurrentThreadId()));
    (void)TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_CONTINUE_SEARCH;
}

void Plugin_EndOnFault(HANDLE events) {
    g_faultEvents = events;
    // The filter it replaces is none of the program's: it is not kept.
    (void)SetUnhandledExceptionFilter(Plugin_Filter);
}

// Windows ends a process whose heap it finds broken with this code.
constexpr UINT HEAP_BROKEN = 0xC0000374;

void Plugin_EndIfHeapBroken() {
    // A plug-in that wrote past the end of a block it handed back broke the
    // heap its worker places from: the worker ends, as Windows would end it
    // on finding the damage, with the call still open, and the run blames
    // that plug-in. The damage may be found or not, now or later; looked
    // for here, it is found before anything of it is placed.
    if (!HeapValidate(GetProcessHeap(), 0, nullptr)) {
        (void)TerminateProcess(GetCurrentProcess(), HEAP_BROKEN);
    }
}

void Plugin_Begin(const PluginReport* report, PluginStep step) {
    (void)SetUnhandledExceptionFilter(Plugin_Filter);
    Plugin_Event(report, WorkerEventKind::Begin, step, 0);
}

void Plugin_Return(const PluginReport* report, PluginStep step, int32_t result) {
    Plugin_Event(report, WorkerEventKind::Return, step, result);
}

void Plugin_ReturnSized(const PluginReport* report, PluginStep step, int32_t result, int32_t width,
                        int32_t height, uint32_t depth) {
    Plugin_Sized(report, WorkerEventKind::Return, step, result, width, height, depth);
}

void Plugin_Width(const PluginReport* report, uint16_t machine) {
    Plugin_Event(report, WorkerEventKind::Width, PluginStep::Between, machine);
}

void Plugin_Outcome(const PluginReport* report, WorkerOutcome outcome) {
    Plugin_Event(report, WorkerEventKind::Outcome, PluginStep::Between,
                 static_cast<int32_t>(outcome));
}

// The pipe the processor time goes to, and the worker's main thread.
struct PluginTicks {
    HANDLE pipe;
    HANDLE mainThread;
};
static PluginTicks g_ticks;

// The processor time of every thread of the worker, twice a second: what
// the run judges a long decode by (under Wine the run cannot read another
// process's time). Should the main thread end without ending the process
// (on wine64 a stack overflow on the main thread ends only that thread),
// the worker ends with its code. The thread takes no lock a plug-in could
// hold: it neither allocates nor loads anything.
static DWORD WINAPI Plugin_Ticks(void*) {
    for (;;) {
        FILETIME created, ended, kernel, user;
        ULONGLONG used = 0;
        if (GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) {
            used = (static_cast<ULONGLONG>(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) +
                   (static_cast<ULONGLONG>(user.dwHighDateTime) << 32 | user.dwLowDateTime);
        }
        PluginReport report = {g_ticks.pipe, 0, 0};
        // In milliseconds, wrapping as the run's clock does.
        Plugin_Event(&report, WorkerEventKind::Cpu, PluginStep::Between,
                     static_cast<int32_t>(static_cast<uint32_t>(used / 10000)));
        if (WaitForSingleObject(g_ticks.mainThread, 500) == WAIT_OBJECT_0) {
            DWORD code = 0;
            (void)GetExitCodeThread(g_ticks.mainThread, &code);
            (void)TerminateProcess(GetCurrentProcess(), code);
        }
    }
}

int Plugin_StartTicks(HANDLE ticks) {
    g_ticks.pipe = ticks;
    HANDLE self = GetCurrentProcess();
    if (!DuplicateHandle(self, GetCurrentThread(), self, &g_ticks.mainThread,
                         SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION, FALSE, 0)) {
        return 0;
    }
    // A small stack: the thread calls a few system functions.
    HANDLE thread = CreateThread(nullptr, 65536, Plugin_Ticks, nullptr,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) {
        return 0;
    }
    CloseHandle(thread);
    return 1;
}
