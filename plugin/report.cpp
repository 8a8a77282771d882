// The worker's report to the run: before each call into a plug-in, which
// file, which step and when it began; and, should the worker die of a
// fault, which thread faulted. The worker's last chance is set again before
// every call, for runtimes that plug-ins are built with set filters of
// their own.
#include "plugin/search.h"

// The report a fault is written to: set once the worker has its block.
static WorkerReport* g_faultReport;

// The last chance of every thread of the worker: it notes which thread
// faulted (the run blames nobody for a fault on a plug-in's own thread)
// and ends the process at once and quietly, with the exception's code: no
// crash dialog, no debugger, nothing of the plug-ins run on the way out.
static LONG WINAPI Plugin_Filter(EXCEPTION_POINTERS* exception) {
    if (g_faultReport != nullptr) {
        g_faultReport->faultThread = GetCurrentThreadId();
    }
    (void)TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_CONTINUE_SEARCH;
}

void Plugin_EndOnFault(WorkerReport* report) {
    g_faultReport = report;
    // The filter it replaces is none of the program's: it is not kept.
    (void)SetUnhandledExceptionFilter(Plugin_Filter);
}

// Windows ends a process whose heap it finds broken with this code.
constexpr UINT HEAP_BROKEN = 0xC0000374;

void Plugin_EndIfHeapBroken() {
    // A plug-in that wrote past the end of a block it handed back broke the
    // heap its worker places from: the worker ends, as Windows would end it
    // on finding the damage, with the call still reported, and the run
    // blames that plug-in. The damage may be found or not, now or later;
    // looked for here, it is found before anything of it is placed.
    if (!HeapValidate(GetProcessHeap(), 0, nullptr)) {
        (void)TerminateProcess(GetCurrentProcess(), HEAP_BROKEN);
    }
}

void Plugin_Report(const PluginSearch* search, PluginStep step) {
    if (step != PluginStep::Between) {
        (void)SetUnhandledExceptionFilter(Plugin_Filter);
    }
    WorkerReport* report = &search->registry->report;
    report->file = static_cast<uint32_t>(search->current);
    report->pass = static_cast<uint32_t>(search->pass);
    report->step = static_cast<uint32_t>(step);
    report->started = GetTickCount();
    report->heard = 0;
    // Counted last: the run reads the fields between two equal counts.
    report->serial = report->serial + 1;
}
