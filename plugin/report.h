// The worker's report to the run: one event (plugin/events.h) per thing it
// does, written to the pipe the run reads, and its processor time from a
// thread of its own. Should the worker die of a fault, its last chance
// reports which thread faulted and ends it at once. No event waits for the
// run: the pipe holds them until it reads.
#pragma once

#include "plugin/events.h"

#include <windows.h>

// Where a worker reports, and which file and pass its events are about.
// A null pipe reports nothing (the benchmark's build that asks in its own
// process).
struct PluginReport {
    HANDLE events;
    uint32_t file;
    uint32_t pass;
};

// A step about the report's file begins, or returns with its result (and
// what else plugin/events.h says a Return of that step carries).
void Plugin_Begin(const PluginReport* report, PluginStep step);
void Plugin_Return(const PluginReport* report, PluginStep step, int32_t result);
void Plugin_ReturnSized(const PluginReport* report, PluginStep step, int32_t result, int32_t width,
                        int32_t height, uint32_t depth);
// The report's file's header names `machine`.
void Plugin_Width(const PluginReport* report, uint16_t machine);
// How the search ended.
void Plugin_Outcome(const PluginReport* report, WorkerOutcome outcome);

// Makes a fault on any thread end the worker at once, with the exception's
// code, after reporting the thread on `events`; set again before every
// call into a plug-in.
void Plugin_EndOnFault(HANDLE events);
// Ends the worker at once when its process heap is broken.
void Plugin_EndIfHeapBroken();
// Starts the thread that reports the worker's processor time on `ticks`
// twice a second. 1 when it runs.
int Plugin_StartTicks(HANDLE ticks);
