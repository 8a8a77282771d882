// The rules by which the run reads a worker's events. A worker walks the
// listed files in order, in the first pass (the head) and then the second
// (the bytes HEAD_SKIP on), from where the record says; each file it comes
// to in the first pass it reports with its width, and a file of its width
// it loads, asks and frees in the order of the steps below. Files the run
// knows to be passed over (failed, of the other width, without an answer
// for the second pass) it may pass over in silence; no other. An outcome
// counts only when the worker earned it, and every step has a limit.
#include "app/watch.h"

void Watch_Begin(const PluginRegistry* own, WatchWorker* worker, uint16_t machine, uint32_t now) {
    *worker = WatchWorker{};
    worker->machine = machine;
    worker->started = now;
    worker->pass = own->startPass == 1 ? 1 : 0;
    worker->expected = own->startFile;
    worker->stepBegan = now;
    worker->open = PluginStep::Between;
    worker->outcome = WorkerOutcome::None;
}

// Whether a worker in `pass` may pass over file `index` without a word.
static int Watch_Passable(const PluginRegistry* own, const WatchWorker* worker, uint32_t pass,
                          uint32_t index) {
    const PluginFileEntry* file = &own->files[index];
    if (file->failed) {
        return 1;
    }
    return pass == 1 && (!file->furtherOn || file->machine != worker->machine);
}

// Whether every file of `pass` from `from` up to `to` may be passed over.
static int Watch_PassableUpTo(const PluginRegistry* own, const WatchWorker* worker, uint32_t pass,
                              uint32_t from, uint32_t to) {
    for (uint32_t i = from; i < to; ++i) {
        if (!Watch_Passable(own, worker, pass, i)) {
            return 0;
        }
    }
    return 1;
}

// Whether the worker is done with its current file: one of another width,
// one that did not load, or one it freed.
static int Watch_FileDone(const WatchWorker* worker) {
    uint32_t flags = worker->flags;
    if (!(flags & WATCH_WIDTH)) {
        return 1;
    }
    return (flags & WATCH_LOADING) && (!(flags & WATCH_LOADED) || (flags & WATCH_FREED));
}

// Whether the worker may come to file `index` of `pass` next.
static int Watch_MayComeTo(const PluginRegistry* own, const WatchWorker* worker, uint32_t pass,
                           uint32_t index) {
    if (worker->open != PluginStep::Between || !Watch_FileDone(worker) ||
        worker->outcome != WorkerOutcome::None || pass > 1 || index >= own->count ||
        pass < worker->pass || Watch_Passable(own, worker, pass, index)) {
        return 0;
    }
    if (pass == worker->pass) {
        return index >= worker->expected &&
               Watch_PassableUpTo(own, worker, pass, worker->expected, index);
    }
    // Into the second pass: the rest of the first may all be passed over.
    return Watch_PassableUpTo(own, worker, 0, worker->expected, own->count) &&
           Watch_PassableUpTo(own, worker, 1, 0, index);
}

static void Watch_ComeTo(WatchWorker* worker, uint32_t pass, uint32_t index, uint32_t flags) {
    worker->pass = pass;
    worker->file = index;
    worker->expected = index + 1;
    worker->flags = flags | WATCH_SEEN;
    worker->kind = 0;
}

// What a step about the current file needs of what happened to it before,
// what it may not follow, and what its beginning records. `kind`: 0 any,
// -1 any the version text declared, else that kind; `firstPass`: only in
// the first pass; `accepted`: in the first pass, only after the head was
// accepted.
struct WatchStepRule {
    uint32_t need;
    uint32_t refuse;
    uint32_t begins;
    int8_t kind;
    uint8_t firstPass;
    uint8_t accepted;
};

static const WatchStepRule WATCH_RULES[] = {
    // Between: never begun.
    {~0u, ~0u, 0, 0, 0, 0},
    // Load
    {WATCH_WIDTH, WATCH_LOADING, WATCH_LOADING, 0, 0, 0},
    // Version
    {WATCH_LOADED, WATCH_VERSION | WATCH_FREED, 0, 0, 0, 0},
    // Support
    {WATCH_LOADED | WATCH_VERSION, WATCH_SUPPORT | WATCH_TAKING | WATCH_FREED, 0, -1, 1, 0},
    // SupportFurtherOn: after the head was declined, or after a decode or
    // listing failed.
    {WATCH_LOADED | WATCH_SUPPORT, WATCH_FURTHER | WATCH_WHOLE | WATCH_FREED, 0, -1, 1, 0},
    // Decode
    {WATCH_LOADED | WATCH_VERSION, WATCH_TAKING | WATCH_FREED, WATCH_TAKING, PLUGIN_KIND_IMAGE, 0,
     1},
    // List
    {WATCH_LOADED | WATCH_VERSION, WATCH_TAKING | WATCH_FREED, WATCH_TAKING, PLUGIN_KIND_ARCHIVE, 0,
     1},
    // Place
    {WATCH_LOADED | WATCH_WHOLE, WATCH_PLACING | WATCH_FREED, WATCH_PLACING, 0, 0, 0},
    // Free
    {WATCH_LOADED, WATCH_FREED, 0, 0, 0, 0},
    // Box: after a picture's placing failed.
    {WATCH_LOADED | WATCH_PLACED, WATCH_PLACED_OK | WATCH_BOX | WATCH_FREED, WATCH_BOX,
     PLUGIN_KIND_IMAGE, 0, 0},
};
static_assert(sizeof WATCH_RULES / sizeof WATCH_RULES[0] ==
                  static_cast<size_t>(PluginStep::Last) + 1,
              "a rule for every step");

// Whether step `step` about the current file may begin now.
static int Watch_MayBegin(const WatchWorker* worker, uint32_t step) {
    if (step > static_cast<uint32_t>(PluginStep::Last)) {
        return 0;
    }
    const WatchStepRule* rule = &WATCH_RULES[step];
    uint32_t flags = worker->flags;
    int firstPass = worker->pass == 0;
    return (flags & rule->need) == rule->need && (flags & rule->refuse) == 0 &&
           (rule->kind == 0 || (rule->kind < 0 ? worker->kind != 0 : worker->kind == rule->kind)) &&
           (!rule->firstPass || firstPass) &&
           (!rule->accepted || !firstPass || (flags & WATCH_ACCEPTED));
}

// Records what a returning step says.
static void Watch_Returned(PluginRegistry* own, WatchWorker* worker, const WorkerEvent* event) {
    int32_t result = event->result;
    switch (worker->open) {
    case PluginStep::Load:
        worker->flags |= result == 1 ? WATCH_LOADED : 0;
        break;
    case PluginStep::Version:
        worker->flags |= WATCH_VERSION;
        worker->kind = result == PLUGIN_KIND_IMAGE || result == PLUGIN_KIND_ARCHIVE ? result : 0;
        break;
    case PluginStep::Support:
        worker->flags |= WATCH_SUPPORT | (result != 0 ? WATCH_ACCEPTED : 0);
        break;
    case PluginStep::SupportFurtherOn:
        worker->flags |= WATCH_FURTHER;
        own->files[worker->file].furtherOn = result != 0;
        break;
    case PluginStep::Decode:
        // A decode counts when the plug-in succeeded with a whole picture.
        worker->flags |= WATCH_TAKEN | (result == 0 && event->depth != 0 ? WATCH_WHOLE : 0);
        break;
    case PluginStep::List:
        // A listing is placed unless the plug-in failed with no entries.
        worker->flags |= WATCH_TAKEN | (event->width == 1 ? WATCH_WHOLE : 0);
        break;
    case PluginStep::Place:
        worker->flags |= WATCH_PLACED | (result >= 1 ? WATCH_PLACED_OK : 0);
        break;
    case PluginStep::Box:
        break;
    case PluginStep::Free:
        worker->flags |= WATCH_FREED;
        break;
    default:
        break;
    }
}

// Whether `outcome` is one the worker earned, with its current file.
static int Watch_Earned(const PluginRegistry* own, const WatchWorker* worker,
                        WorkerOutcome outcome) {
    uint32_t flags = worker->flags;
    int ownWidth = (flags & WATCH_SEEN) && own->files[worker->file].machine == worker->machine;
    switch (outcome) {
    case WorkerOutcome::Decoded:
        return ownWidth && worker->kind == PLUGIN_KIND_IMAGE && (flags & WATCH_WHOLE);
    case WorkerOutcome::Listed:
    case WorkerOutcome::NotListed:
        return ownWidth && worker->kind == PLUGIN_KIND_ARCHIVE && (flags & WATCH_PLACED) &&
               !(flags & WATCH_PLACED_OK) == (outcome == WorkerOutcome::NotListed);
    case WorkerOutcome::NothingTaken:
        // Every file left was passed over, in both passes.
        return Watch_FileDone(worker) &&
               (worker->pass == 1
                    ? Watch_PassableUpTo(own, worker, 1, worker->expected, own->count)
                    : Watch_PassableUpTo(own, worker, 0, worker->expected, own->count) &&
                          Watch_PassableUpTo(own, worker, 1, 0, own->count));
    default:
        return 0;
    }
}

int Watch_Take(PluginRegistry* own, WatchWorker* worker, const WorkerEvent* event, uint32_t now) {
    auto kind = static_cast<WorkerEventKind>(event->kind);
    if (kind == WorkerEventKind::Cpu) {
        uint32_t cpu = static_cast<uint32_t>(event->result);
        uint32_t span = now - worker->activeAt;
        if (span >= 1000 && cpu - worker->cpuAt >= span / WATCH_BUSY_SHARE) {
            worker->activeAt = now;
            worker->cpuAt = cpu;
        }
        worker->cpu = cpu;
        return 1;
    }
    if (kind == WorkerEventKind::Fault) {
        worker->faultThread = static_cast<uint32_t>(event->result);
        return 1;
    }
    auto step = static_cast<PluginStep>(event->step);
    int legal = 0;
    if (kind == WorkerEventKind::Width) {
        legal = event->pass == 0 && Watch_MayComeTo(own, worker, 0, event->file);
        if (legal) {
            uint16_t machine = static_cast<uint16_t>(event->result);
            own->files[event->file].machine = machine;
            Watch_ComeTo(worker, 0, event->file, machine == worker->machine ? WATCH_WIDTH : 0);
        }
    } else if (kind == WorkerEventKind::Begin) {
        // A file of the second pass is come to by its load.
        if (step == PluginStep::Load && event->pass == 1 &&
            (event->file != worker->file || worker->pass != 1 || !(worker->flags & WATCH_SEEN)) &&
            Watch_MayComeTo(own, worker, 1, event->file)) {
            Watch_ComeTo(worker, 1, event->file, WATCH_WIDTH);
        }
        // After the outcome, only the plug-in that took the file is freed.
        legal = worker->open == PluginStep::Between && (worker->flags & WATCH_SEEN) &&
                event->file == worker->file && event->pass == worker->pass &&
                (worker->outcome == WorkerOutcome::None || step == PluginStep::Free) &&
                Watch_MayBegin(worker, event->step);
        if (legal) {
            worker->open = step;
            worker->flags |= WATCH_RULES[event->step].begins;
            worker->asked = 1;
            worker->blamedFile = event->file;
            worker->blamedPass = event->pass;
            worker->activeAt = now;
            worker->cpuAt = worker->cpu;
        }
    } else if (kind == WorkerEventKind::Return) {
        legal = worker->open != PluginStep::Between && step == worker->open &&
                event->file == worker->file && event->pass == worker->pass;
        if (legal) {
            Watch_Returned(own, worker, event);
            worker->open = PluginStep::Between;
        }
    } else if (kind == WorkerEventKind::Outcome) {
        auto outcome = static_cast<WorkerOutcome>(event->result);
        legal = worker->open == PluginStep::Between && worker->outcome == WorkerOutcome::None &&
                Watch_Earned(own, worker, outcome);
        if (legal) {
            worker->outcome = outcome;
        }
    }
    if (legal) {
        worker->stepBegan = now;
        worker->moved += 1;
    }
    return legal;
}

uint32_t Watch_Limit(const WatchWorker* worker, uint32_t now) {
    constexpr uint32_t LOOK = 1000;
    uint32_t since = now - worker->stepBegan;
    uint32_t limit;
    if (worker->moved == 0) {
        limit = WATCH_START_MS;
        since = now - worker->started;
    } else if (worker->open == PluginStep::Box) {
        return LOOK;
    } else if (worker->open == PluginStep::Decode || worker->open == PluginStep::List ||
               worker->open == PluginStep::Place) {
        uint32_t idle = now - worker->activeAt;
        if (idle >= WATCH_IDLE_MS || since >= WATCH_TAKE_MS) {
            return 0;
        }
        uint32_t left = WATCH_IDLE_MS - idle;
        return left < LOOK ? left : LOOK;
    } else {
        limit = WATCH_ANSWER_MS;
    }
    if (since >= limit) {
        return 0;
    }
    return limit - since < LOOK ? limit - since : LOOK;
}

WatchEnd Watch_Settle(PluginRegistry* own, const WatchWorker* worker, uint32_t mainThread,
                      uint32_t* retried, WorkerOutcome* outcome) {
    *outcome = worker->outcome;
    if (worker->outcome != WorkerOutcome::None) {
        return WatchEnd::Done;
    }
    uint32_t file = worker->blamedFile;
    uint32_t pass = worker->blamedPass;
    uint32_t key = pass * PLUGIN_FILES_MAX + file;
    // A fault on a thread that is not the worker's own (a plug-in's
    // leftover thread) blames nobody: the plug-in is asked once more.
    int again = worker->asked && worker->faultThread != 0 && worker->faultThread != mainThread &&
                *retried != key;
    // Otherwise a picture decoded counts whatever became of its placing,
    // and a listing whose placing never ended was not placed. Neither goes
    // on.
    if ((worker->flags & WATCH_PLACING) && !again) {
        *outcome =
            worker->kind == PLUGIN_KIND_IMAGE ? WorkerOutcome::Decoded : WorkerOutcome::NotListed;
        return WatchEnd::Done;
    }
    if (!worker->asked) {
        return WatchEnd::Idle;
    }
    own->startPass = pass;
    if (again) {
        *retried = key;
        own->startFile = file;
        return WatchEnd::Next;
    }
    own->files[file].failed = 1;
    own->startFile = file + 1;
    return WatchEnd::Next;
}
