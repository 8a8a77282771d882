// The run's watch over its workers: it starts each worker, reads its events
// and takes each one only as the legal next step of the search it handed
// out, keeps in its own record what it learns (each file's width, whether
// it failed, its answer about the bytes further on, where the next worker
// starts), and gives a worker up when the step it is in passes its limit.
// Watch_Take, Watch_Limit and Watch_Settle are the rules, as pure
// functions of the record, the worker's state, the event and the time.
#pragma once

#include "plugin/events.h"
#include "plugin/registry.h"

// The limits, in milliseconds. A worker's first event (a 32-bit Wine under
// qemu-user starts a process in seconds on a loaded machine); a plug-in's
// load, free, version and support test, and the worker's own steps between
// them; a decode, a listing or a placing is kept while its worker computes,
// and given up after WATCH_IDLE_MS in which it used less than a tenth of a
// processor, or after WATCH_TAKE_MS in all. The failure box has no limit: a
// person reads it. The tests' build has short limits.
constexpr uint32_t WATCH_START_MS = 30000;
constexpr uint32_t WATCH_ANSWER_MS = 5000;
#ifdef QX_SHORT_LIMITS
constexpr uint32_t WATCH_IDLE_MS = 4000;
constexpr uint32_t WATCH_TAKE_MS = 15000;
#else
constexpr uint32_t WATCH_IDLE_MS = 30000;
constexpr uint32_t WATCH_TAKE_MS = 300000;
#endif
// The share of a processor that counts as computing: one part in this many.
constexpr uint32_t WATCH_BUSY_SHARE = 10;

// What happened to a worker's current file, as the run saw it.
constexpr uint32_t WATCH_WIDTH = 1u << 0;      // its header names this worker's width
constexpr uint32_t WATCH_LOADING = 1u << 1;    // its load was begun
constexpr uint32_t WATCH_LOADED = 1u << 2;     // it is loaded
constexpr uint32_t WATCH_VERSION = 1u << 3;    // its version text was read
constexpr uint32_t WATCH_SUPPORT = 1u << 4;    // the support test of the head returned
constexpr uint32_t WATCH_ACCEPTED = 1u << 5;   // ... and accepted it
constexpr uint32_t WATCH_FURTHER = 1u << 6;    // it was asked about the bytes further on
constexpr uint32_t WATCH_TAKING = 1u << 7;     // its decode or listing began
constexpr uint32_t WATCH_TAKEN = 1u << 8;      // ... and returned
constexpr uint32_t WATCH_WHOLE = 1u << 9;      // ... with a whole picture, or with a listing
constexpr uint32_t WATCH_PLACING = 1u << 10;   // what it handed back is being placed
constexpr uint32_t WATCH_PLACED = 1u << 11;    // ... and placing returned
constexpr uint32_t WATCH_BOX = 1u << 12;       // the failure box was shown
constexpr uint32_t WATCH_FREED = 1u << 13;     // it was freed: the worker is done with it
constexpr uint32_t WATCH_SEEN = 1u << 14;      // the worker has come to it
constexpr uint32_t WATCH_PLACED_OK = 1u << 15; // ... and placed it

// What the run saw of one worker, from its events.
struct WatchWorker {
    uint16_t machine;                // the width of the worker's program
    uint32_t started;                // the run's clock when the worker started
    uint32_t pass;                   // the pass it is in
    uint32_t file;                   // the file it is about, valid with `flags` != 0
    uint32_t expected;               // the first file in `pass` it has not come to
    uint32_t flags;                  // what happened to `file` in this worker (WATCH_*)
    int32_t kind;                    // what the file's version text declared
    PluginStep open;                 // the step begun and not returned, Between when none
    uint32_t stepBegan;              // when `open` began, or when the worker last moved on
    uint32_t asked;                  // 1 once it legally began a step about a plug-in
    uint32_t blamedFile, blamedPass; // the last plug-in it legally reported
    uint32_t placed;                 // Place's result
    uint32_t moved;                  // legal events other than Cpu and Fault
    uint32_t cpu;                    // processor time, ms, as last reported
    uint32_t activeAt, cpuAt;        // when it was last seen computing, and its time then
    uint32_t faultThread;            // the thread whose fault ended it, 0 none
    WorkerOutcome outcome;           // the outcome it earned, None until then
};

// Readies `worker` for a worker of `machine` started now, at where the
// record says.
void Watch_Begin(const PluginRegistry* own, WatchWorker* worker, uint16_t machine, uint32_t now);
// Takes one event at `now`: 1 when it was the legal next step (what it
// says is then recorded), 0 when not (nothing is recorded).
int Watch_Take(PluginRegistry* own, WatchWorker* worker, const WorkerEvent* event, uint32_t now);
// How long the run may wait before it looks again (at most a second), or
// 0 when the worker's step has passed its limit and it is given up.
uint32_t Watch_Limit(const WatchWorker* worker, uint32_t now);

// What became of a worker that has ended or was ended.
enum class WatchEnd {
    Done, // the search ended: `*outcome` says how
    Next, // the record says where the next worker starts
    Idle, // it asked nothing: the record is as it was
};
// Settles an ended worker: the outcome it earned (a picture decoded counts
// even when its placing never ended), or the plug-in it was in blamed and
// marked failed, the start moved past it. A fault on a thread that is not
// the worker's (`mainThread`) blames nobody: the plug-in is asked once
// more, once per run, as `*retried` keeps.
WatchEnd Watch_Settle(PluginRegistry* own, const WatchWorker* worker, uint32_t mainThread,
                      uint32_t* retried, WorkerOutcome* outcome);
