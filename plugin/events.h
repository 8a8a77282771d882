// What a worker tells the run: one fixed-size event per thing it does, on
// a pipe the worker writes and the run reads. Bytes once written to a pipe
// cannot be taken back, so nothing a plug-in does later changes what the
// run has already read; what a plug-in writes into the pipe itself is read
// as the worker's word and has to be the legal next step of the search, or
// the worker is ended. The record has the same layout in both widths.
#pragma once

#include <stdint.h>

// What a worker is doing: between calls, in a call into a plug-in, placing
// what a plug-in handed back, or showing the failure box.
enum class PluginStep : uint32_t {
    Between = 0,
    Load = 1,
    Version = 2,
    Support = 3,
    SupportFurtherOn = 4,
    Decode = 5,
    List = 6,
    Place = 7,
    Free = 8,
    Box = 9,
    Last = Box,
};

// How a worker's search ended. Decoded: a picture was decoded, whatever
// became of its placing; Listed: a listing was placed; NotListed: the
// clipboard refused it; NothingTaken: no plug-in of its width took the file.
enum class WorkerOutcome : uint32_t {
    None = 0,
    Decoded = 1,
    Listed = 2,
    NotListed = 3,
    NothingTaken = 4,
};

enum class WorkerEventKind : uint32_t {
    // `file`'s header names `result` as its machine (0: no PE image), read
    // as the worker comes to it in the first pass.
    Width = 1,
    // A step about `file` in `pass` begins.
    Begin = 2,
    // The step begun last returns `result`: Load 1 when it loaded (else
    // `width` is the system's error), Version the kind its text declares
    // (its first 12 bytes in `width`, `height` and `depth`), a support test
    // 1 when it accepts, Decode and List the plug-in's result (Decode with
    // the picture's size and depth, 0 x 0 x 0 when it is not whole; List
    // with `width` 1 when a listing follows: the plug-in did not fail,
    // handed back entries, or lacks the entry point, and `height` the
    // entries), Place the formats placed, 0 when none was (`height` the
    // bytes of the first). A call the worker does not make (a missing entry
    // point) has neither a Begin nor a Return, but for the listing.
    Return = 3,
    // The worker's processor time so far, all its threads, in `result`
    // milliseconds; from a thread that does nothing else.
    Cpu = 4,
    // How the search ended, in `result`, a WorkerOutcome.
    Outcome = 5,
    // A thread faulted and the worker ends: `result` is the thread's id,
    // which the run compares with the worker's main thread.
    Fault = 6,
};

struct WorkerEvent {
    uint32_t kind; // a WorkerEventKind
    uint32_t file;
    uint32_t pass;
    uint32_t step; // a PluginStep
    int32_t result;
    int32_t width;
    int32_t height;
    uint32_t depth;
};

static_assert(sizeof(WorkerEvent) == 32, "worker event");
