// The run's side of the search: it starts a worker on the shared block and
// watches it from here, with the time left of the call in progress. A
// worker that dies without writing its outcome (a plug-in faulted, ended
// the process or broke its heap), or that stays silent past the limit of
// its call, is replaced: the plug-in whose call was in progress is marked
// failed, and a new worker goes on with the next, in the same order and
// passes. The run reads nothing of the block it did not check against what
// it put there itself.
#include "app/app.h"

#include <string.h>

// How long a worker may take to reach its first call (a 32-bit Wine under
// qemu-user starts a process in seconds on a loaded machine), and the
// limit of a plug-in's load, free, version and support test, and of the
// worker's own steps between them.
constexpr DWORD WATCH_START_MS = 30000;
constexpr DWORD WATCH_ANSWER_MS = 5000;
// A decode or listing reports progress, if at all, at its start and end: it
// is working while its worker uses processor time. It is given up after 30
// s without any (a deadlock) or 5 minutes in all (an endless loop).
constexpr DWORD WATCH_IDLE_MS = 30000;
constexpr DWORD WATCH_DECODE_MS = 300000;
constexpr DWORD WATCH_LOOK_MS = 1000;
// Workers in a row that end before they ask anything, and the run stops.
constexpr int WATCH_IDLE_WORKERS = 3;

// One look at the worker's report.
struct WatchLook {
    uint32_t serial;
    uint32_t file;
    uint32_t pass;
    PluginStep step;
    DWORD started;
    uint32_t heard;
};

// The report's fields between two equal counts of calls: one call's.
static void Watch_Look(const WorkerReport* report, WatchLook* look) {
    for (int tries = 0; tries < 8; ++tries) {
        look->serial = report->serial;
        look->file = report->file;
        look->pass = report->pass;
        uint32_t step = report->step;
        look->step = step <= static_cast<uint32_t>(PluginStep::Last) ? static_cast<PluginStep>(step)
                                                                     : PluginStep::Between;
        look->started = report->started;
        look->heard = report->heard;
        if (report->serial == look->serial) {
            return;
        }
    }
}

// The processor time a process has used, in 100 ns units.
static ULONGLONG Watch_Cpu(HANDLE process) {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(process, &created, &ended, &kernel, &user)) {
        return 0;
    }
    return (static_cast<ULONGLONG>(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) +
           (static_cast<ULONGLONG>(user.dwHighDateTime) << 32 | user.dwLowDateTime);
}

// Waits for the worker to end. 1 when it ended by itself, 0 when it was
// given up (it is then ended here).
static int Watch_Wait(const WorkerReport* report, HANDLE process) {
    DWORD begun = GetTickCount();
    DWORD lastLook = begun;
    uint32_t serial = 0;
    DWORD since = begun;
    PluginStep step = PluginStep::Between;
    ULONGLONG cpu = 0;
    uint32_t heard = 0;
    DWORD active = begun;
    for (;;) {
        DWORD now = GetTickCount();
        WatchLook look;
        Watch_Look(report, &look);
        if (look.serial != serial) {
            // When the step began, as the worker says, but never before the
            // run last looked nor after now.
            DWORD said = now - look.started;
            since = said <= now - lastLook ? look.started : lastLook;
            serial = look.serial;
            step = look.step;
            cpu = Watch_Cpu(process);
            heard = look.heard;
            active = now;
        }
        lastLook = now;
        // The run looks again within a second, so that it sees a new step
        // while it has most of its time left, and at the limit of this one.
        DWORD wait = WATCH_LOOK_MS;
        int givenUp = 0;
        if (serial == 0) {
            givenUp = now - begun >= WATCH_START_MS;
        } else if (step == PluginStep::Decode || step == PluginStep::List) {
            ULONGLONG used = Watch_Cpu(process);
            if (used != cpu || look.heard != heard) {
                cpu = used;
                heard = look.heard;
                active = now;
            }
            givenUp = now - active >= WATCH_IDLE_MS || now - since >= WATCH_DECODE_MS;
        } else if (step != PluginStep::Place) {
            givenUp = now - since >= WATCH_ANSWER_MS;
            if (!givenUp && WATCH_ANSWER_MS - (now - since) < wait) {
                wait = WATCH_ANSWER_MS - (now - since);
            }
        }
        if (givenUp) {
            break;
        }
        if (WaitForSingleObject(process, wait) != WAIT_TIMEOUT) {
            return 1;
        }
    }
    // A worker given up is ended whatever it holds; once it has gone, the
    // next one starts.
    (void)TerminateProcess(process, ERROR_TIMEOUT);
    (void)WaitForSingleObject(process, WATCH_ANSWER_MS);
    return 0;
}

// Writes what the run put in the block again, from its own copy: a worker
// that was handed the block could have written anything. Only what a
// worker reads is copied: the texts up to their ends and the listed files.
static void Watch_Refresh(const PluginRegistry* own, PluginRegistry* shared) {
    memcpy(shared, own, offsetof(PluginRegistry, path));
    memcpy(shared->path, own->path, (static_cast<size_t>(lstrlenW(own->path)) + 1) * 2);
    memcpy(shared->ansiPath, own->ansiPath, static_cast<size_t>(lstrlenA(own->ansiPath)) + 1);
    memcpy(shared->head, own->head, sizeof own->head);
    memcpy(shared->files, own->files, own->count * sizeof(PluginFileEntry));
    memset(&shared->report, 0, sizeof shared->report);
}

// Starts `program` as a worker on the block, which is all it inherits;
// the block's handle goes in the environment.
static int Watch_Start(const wchar_t* program, HANDLE block, PROCESS_INFORMATION* process) {
    wchar_t line[PLUGIN_PATH_SIZE + 3];
    line[0] = L'"';
    lstrcpynW(line + 1, program, PLUGIN_PATH_SIZE);
    int length = lstrlenW(line);
    line[length] = L'"';
    line[length + 1] = L'\0';
    if (!Worker_Describe(block)) {
        return 0;
    }
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof startup.StartupInfo;
    DWORD flags = 0;
    // Room for one handle in the attribute list. Where the list cannot be
    // made, the block is still the only handle the run made inheritable.
    alignas(8) BYTE attributes[128];
    SIZE_T size = 0;
    (void)InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes);
    if (size != 0 && size <= sizeof attributes &&
        InitializeProcThreadAttributeList(list, 1, 0, &size)) {
        if (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &block,
                                      sizeof block, nullptr, nullptr)) {
            startup.StartupInfo.cb = sizeof startup;
            startup.lpAttributeList = list;
            flags = EXTENDED_STARTUPINFO_PRESENT;
        } else {
            DeleteProcThreadAttributeList(list);
        }
    }
    int started = CreateProcessW(program, line, nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                                 &startup.StartupInfo, process);
    if (startup.lpAttributeList != nullptr) {
        DeleteProcThreadAttributeList(startup.lpAttributeList);
    }
    return started;
}

WorkerOutcome Watch_Ask(WatchAsk* ask, const wchar_t* program) {
    PluginRegistry* own = ask->own;
    if (own->count == 0) {
        // No plug-in file to ask: no worker is started for it.
        return WorkerOutcome::NothingTaken;
    }
    int idle = 0;
    for (;;) {
#ifdef QX_ASK_IN_PROCESS
        // The benchmark's build that asks its plug-ins in this process,
        // which weighs what the worker costs.
        (void)program;
        return Worker_Serve(own, ask->bindUser32);
#endif
        PluginRegistry* shared = ask->shared;
        Watch_Refresh(own, shared);
        PROCESS_INFORMATION process = {};
        if (!Watch_Start(program, ask->block, &process)) {
            return WorkerOutcome::None;
        }
        int ended = Watch_Wait(&shared->report, process.hProcess);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        uint32_t outcome = shared->report.outcome;
        uint32_t taker = shared->report.taker;
        if (outcome == static_cast<uint32_t>(WorkerOutcome::NothingTaken) ||
            (outcome >= 1 && outcome < static_cast<uint32_t>(WorkerOutcome::NothingTaken) &&
             taker < own->count && !own->files[taker].failed)) {
            return static_cast<WorkerOutcome>(outcome);
        }
        // The worker failed. Whom it was asking, if it said so within what
        // this worker was given.
        uint32_t serial = shared->report.serial;
        uint32_t file = shared->report.file;
        uint32_t pass = shared->report.pass;
        uint32_t fault = shared->report.faultThread;
        int asked = serial != 0 && file < own->count && pass <= 1 &&
                    (pass > own->startPass || (pass == own->startPass && file >= own->startFile));
        if (!asked) {
            if (++idle == WATCH_IDLE_WORKERS) {
                return WorkerOutcome::None;
            }
            continue;
        }
        idle = 0;
        own->startPass = pass;
        // A fault on a thread that is not the worker's own (a plug-in's
        // leftover thread) blames nobody: the plug-in in progress is asked
        // once more, and only once.
        uint32_t key = pass * PLUGIN_FILES_MAX + file;
        if (ended && fault != 0 && fault != process.dwThreadId && ask->retried != key) {
            ask->retried = key;
            own->startFile = file;
            continue;
        }
        own->files[file].failed = 1;
        own->startFile = file + 1;
    }
}

int Watch_OtherWidthListed(const WatchAsk* ask) {
    for (uint32_t i = 0; i < ask->own->count; ++i) {
        if (ask->shared->answers[i].machine == PLUGIN_OTHER_MACHINE) {
            return 1;
        }
    }
    return 0;
}
