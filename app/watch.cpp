// The run's side of the search: it starts a worker on the record, which the
// worker maps read-only, and reads the worker's events from two pipes (its
// steps, and its processor time from a thread of its own). Each event is
// taken only as the legal next step (app/watch_rules.cpp); a worker that
// says anything else, dies without its outcome (a plug-in faulted, ended
// the process or broke its heap), or passes the limit of its step is
// ended, the plug-in it was in is marked failed, and a new worker goes on
// with the next, in the same order and passes. Each worker runs in a job
// object of its own that ends it, and whatever a plug-in started, with the
// run however the run ends.
#include "app/app.h"
#include "app/say.h"

#include <string.h>

// Workers in a row that end before they ask anything, and the run stops.
constexpr int WATCH_IDLE_WORKERS = 3;
// How often the run reads the pipes while the worker runs.
constexpr DWORD WATCH_POLL_MS = 10;
// Room in each pipe: a worker asking many plug-ins never waits for the run.
constexpr DWORD WATCH_PIPE_BYTES = 65536;

// One pipe the run reads, and the part of an event read so far.
struct WatchPipe {
    HANDLE read;
    HANDLE write; // the worker's end, closed by the run once it started
    DWORD have;
    BYTE pending[sizeof(WorkerEvent)];
};

// A worker: its process, its job, its pipes and what the run saw of it.
struct WatchRun {
    PROCESS_INFORMATION process;
    HANDLE job;
    WatchPipe events;
    WatchPipe ticks;
    WatchWorker seen;
    int illegal;     // it said what the search does not allow
    int givenUp;     // its step passed its limit
    uint32_t tookMs; // ... after this long
    int partner;     // a partner lies beside the program, for what the run says
    int placed;      // what placing returned: the formats placed
    uint32_t placedBytes;
};

static int Watch_OpenPipe(WatchPipe* pipe) {
    *pipe = WatchPipe{};
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    if (!CreatePipe(&pipe->read, &pipe->write, &inherited, WATCH_PIPE_BYTES)) {
        pipe->read = nullptr;
        pipe->write = nullptr;
        return 0;
    }
    // Only the worker's end goes to the worker.
    return SetHandleInformation(pipe->read, HANDLE_FLAG_INHERIT, 0);
}

static void Watch_CloseHandle(HANDLE* handle) {
    if (*handle != nullptr) {
        CloseHandle(*handle);
        *handle = nullptr;
    }
}

// Takes every whole event the pipe holds now. 0 once one was not legal.
static int Watch_Drain(PluginRegistry* own, WatchRun* run, WatchPipe* pipe) {
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe->read, nullptr, 0, nullptr, &available, nullptr) ||
            available == 0) {
            return 1;
        }
        BYTE bytes[64 * sizeof(WorkerEvent)];
        DWORD want = available < sizeof bytes ? available : sizeof bytes;
        DWORD got = 0;
        if (!ReadFile(pipe->read, bytes, want, &got, nullptr) || got == 0) {
            return 1;
        }
        for (DWORD i = 0; i < got; ++i) {
            pipe->pending[pipe->have++] = bytes[i];
            if (pipe->have < sizeof(WorkerEvent)) {
                continue;
            }
            pipe->have = 0;
            WorkerEvent event;
            memcpy(&event, pipe->pending, sizeof event);
            // The ticks pipe carries processor time only.
            if ((pipe == &run->ticks &&
                 event.kind != static_cast<uint32_t>(WorkerEventKind::Cpu)) ||
                !Watch_Take(own, &run->seen, &event, GetTickCount())) {
                return 0;
            }
            Say_Event(own, &run->seen, &event, run->partner);
            if (event.kind == static_cast<uint32_t>(WorkerEventKind::Return) &&
                event.step == static_cast<uint32_t>(PluginStep::Place)) {
                run->placed = event.result;
                run->placedBytes = static_cast<uint32_t>(event.height);
            }
        }
    }
}

// A job that ends what is in it once the run lets go of it, by its own
// hand or by its end. Null where the system has none to give: the worker
// is still ended when it is given up.
static HANDLE Watch_Job() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job == nullptr) {
        return nullptr;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

// Starts `program` as a worker, suspended until it is in its job; it
// inherits the record's read-only handle and its ends of the pipes, and
// nothing else. Their values go in the environment.
static int Watch_Start(const wchar_t* program, HANDLE block, WatchRun* run) {
    wchar_t line[PLUGIN_PATH_SIZE + 3];
    line[0] = L'"';
    lstrcpynW(line + 1, program, PLUGIN_PATH_SIZE);
    int length = lstrlenW(line);
    line[length] = L'"';
    line[length + 1] = L'\0';
    WorkerHandles handles = {block, run->events.write, run->ticks.write};
    if (!Worker_Describe(&handles)) {
        return 0;
    }
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof startup.StartupInfo;
    DWORD flags = CREATE_SUSPENDED;
    // Room for three handles in the attribute list. Where the list cannot
    // be made, these are still the only handles the run made inheritable.
    alignas(8) BYTE attributes[128];
    SIZE_T size = 0;
    (void)InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes);
    if (size != 0 && size <= sizeof attributes &&
        InitializeProcThreadAttributeList(list, 1, 0, &size)) {
        if (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handles,
                                      sizeof handles, nullptr, nullptr)) {
            startup.StartupInfo.cb = sizeof startup;
            startup.lpAttributeList = list;
            flags |= EXTENDED_STARTUPINFO_PRESENT;
        } else {
            DeleteProcThreadAttributeList(list);
        }
    }
    int started = CreateProcessW(program, line, nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                                 &startup.StartupInfo, &run->process);
    if (startup.lpAttributeList != nullptr) {
        DeleteProcThreadAttributeList(startup.lpAttributeList);
    }
    if (!started) {
        return 0;
    }
    run->job = Watch_Job();
    if (run->job != nullptr && !AssignProcessToJobObject(run->job, run->process.hProcess)) {
        Watch_CloseHandle(&run->job);
    }
    if (ResumeThread(run->process.hThread) == static_cast<DWORD>(-1)) {
        (void)TerminateProcess(run->process.hProcess, ERROR_TIMEOUT);
        return 0;
    }
    return 1;
}

// Reads the worker's events until it ends, says what it may not, or
// passes the limit of its step; it is then ended.
static void Watch_Follow(PluginRegistry* own, WatchRun* run) {
    for (;;) {
        if (!Watch_Drain(own, run, &run->events) || !Watch_Drain(own, run, &run->ticks)) {
            run->illegal = 1;
            break;
        }
        uint32_t now = GetTickCount();
        uint32_t left = Watch_Limit(&run->seen, now);
        if (left == 0) {
            run->givenUp = 1;
            run->tookMs = now - (run->seen.moved == 0 ? run->seen.started : run->seen.stepBegan);
            break;
        }
        DWORD wait = left < WATCH_POLL_MS ? left : WATCH_POLL_MS;
        if (WaitForSingleObject(run->process.hProcess, wait) != WAIT_TIMEOUT) {
            // What it wrote before it ended is still in the pipes.
            if (!Watch_Drain(own, run, &run->events)) {
                run->illegal = 1;
            }
            break;
        }
    }
    // Ended whatever it holds, with whatever a plug-in started; the run
    // does not wait for them.
    if (run->job != nullptr) {
        (void)TerminateJobObject(run->job, ERROR_TIMEOUT);
    } else {
        (void)TerminateProcess(run->process.hProcess, ERROR_TIMEOUT);
    }
}

static void Watch_Close(WatchRun* run) {
    Watch_CloseHandle(&run->process.hThread);
    Watch_CloseHandle(&run->process.hProcess);
    Watch_CloseHandle(&run->job);
    Watch_CloseHandle(&run->events.read);
    Watch_CloseHandle(&run->events.write);
    Watch_CloseHandle(&run->ticks.read);
    Watch_CloseHandle(&run->ticks.write);
}

// One worker from start to end; 0 when it could not be started.
static int Watch_One(WatchAsk* ask, const wchar_t* program, uint16_t machine, WatchRun* run) {
    *run = WatchRun{};
    run->partner = ask->partner;
    if (!Watch_OpenPipe(&run->events) || !Watch_OpenPipe(&run->ticks) ||
        !Watch_Start(program, ask->block, run)) {
        Watch_Close(run);
        return 0;
    }
    // The worker holds its ends now.
    Watch_CloseHandle(&run->events.write);
    Watch_CloseHandle(&run->ticks.write);
    Watch_Begin(ask->registry, &run->seen, machine, GetTickCount());
    Watch_Follow(ask->registry, run);
    return 1;
}

WorkerOutcome Watch_Ask(WatchAsk* ask, const wchar_t* program, uint16_t machine) {
    PluginRegistry* own = ask->registry;
    if (own->count == 0) {
        // No plug-in file to ask: no worker is started for it.
        return WorkerOutcome::NothingTaken;
    }
    int idle = 0;
    for (;;) {
        WatchRun run;
        if (!Watch_One(ask, program, machine, &run)) {
            return WorkerOutcome::None;
        }
        WorkerOutcome outcome = WorkerOutcome::None;
        uint32_t retried = ask->retried;
        WatchEnd end =
            Watch_Settle(own, &run.seen, run.process.dwThreadId, &ask->retried, &outcome);
        if (run.seen.outcome == WorkerOutcome::None) {
            DWORD exitCode = 0;
            (void)GetExitCodeProcess(run.process.hProcess, &exitCode);
            Say_Ended(own, &run.seen, run.process.dwThreadId, exitCode, run.givenUp, run.tookMs,
                      run.illegal, retried != ask->retried);
        }
        // What placing came to: -1 when it never ended.
        ask->placed = run.seen.outcome != WorkerOutcome::None ? run.placed : -1;
        ask->placedBytes = run.placedBytes;
        Watch_Close(&run);
        if (end == WatchEnd::Done) {
            return outcome;
        }
        idle = end == WatchEnd::Idle ? idle + 1 : 0;
        if (idle == WATCH_IDLE_WORKERS) {
            return WorkerOutcome::None;
        }
    }
}

int Watch_OtherWidthListed(const PluginRegistry* own) {
    for (uint32_t i = 0; i < own->count; ++i) {
        if (own->files[i].machine == PLUGIN_OTHER_MACHINE) {
            return 1;
        }
    }
    return 0;
}
