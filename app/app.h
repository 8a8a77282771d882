// The command front end: the process entry, the command tail and the path
// it names, wWinMain and the file-head reader; the run's watch over its
// workers (app/watch.h holds its rules), and the worker that asks the
// plug-ins.
#pragma once

#include "app/watch.h"
#include "plugin/search.h"

#include <windows.h>

// Where the command tail begins inside the raw command line; nothing copied.
wchar_t* Startup_GetCommandTail(wchar_t* rawCommandLine);

// The path a command tail names: the text between the quotes when the tail
// is one quoted path followed by nothing but spaces, else the whole tail.
// Returns where it starts and stores its length; nothing is changed.
const wchar_t* Startup_Unquote(const wchar_t* tail, int* length);

// The path in the ANSI code page, or, when the code page cannot spell it,
// the file's short path if the code page spells that. A new fixed local
// block the caller frees with LocalFree; null when neither is possible.
char* Startup_AnsiPath(const wchar_t* path, int length);

// Reads at most *sizeInOut bytes from the start of the file into a new
// fixed, zero-filled local block one byte longer, and stores the number of
// bytes read back into *sizeInOut. The caller frees the block with LocalFree.
char* Util_ReadFile(const wchar_t* path, DWORD* sizeInOut);

// The run for the file at `path` (UTF-16, NUL-terminated). Exit code: 1 or 0.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR path, int show);

// What the run's watch works on: the record, which the run alone writes,
// in a block its workers map read-only; the read-only handle they inherit;
// and the call once asked again after a fault on a plug-in's thread.
struct WatchAsk {
    PluginRegistry* registry;
    HANDLE block;
    uint32_t retried;
    int partner; // a partner lies beside the program, for what the run says
    // What the last worker's placing returned (the formats placed, 0 none;
    // -1 when it never ended), and the bytes of the first.
    int placed;
    uint32_t placedBytes;
};

// Fills the run's record: the path, its ANSI spelling, the head and the
// listed plug-in files. 0 when the file cannot be read.
int Run_Prepare(PluginRegistry* own, const wchar_t* path, PluginFolders* folders);

// Asks the plug-ins in `program` workers of width `machine` (this program,
// or the partner of the other width) one after another, from where the
// record says, until one earns an outcome. None when the search could not
// be finished: no worker could be started, or three in a row ended before
// they asked anything.
WorkerOutcome Watch_Ask(WatchAsk* ask, const wchar_t* program, uint16_t machine);
// Whether a worker found a listed file of the other width.
int Watch_OtherWidthListed(const PluginRegistry* own);

// The handles a worker is started with: the record's, read-only, and its
// ends of the two pipes the run reads. In this order, with nothing between:
// the run hands them on as one list.
struct WorkerHandles {
    HANDLE block;
    HANDLE events;
    HANDLE ticks;
};
static_assert(sizeof(WorkerHandles) == 3 * sizeof(HANDLE), "a list of handles");

// 1 when this process was started as a worker, with its handles; the
// variable that said so is removed.
int Worker_Handles(WorkerHandles* handles);
// Names the handles in the environment a worker is started with.
int Worker_Describe(const WorkerHandles* handles);
// Loads USER32 and fills the slots the program's USER32 calls go through;
// once is enough. 1 when every one was found.
int Worker_BindUser32();
// The worker: maps the record, asks the plug-ins, reports the outcome and
// ends the process.
[[noreturn]] void Worker_Main(const WorkerHandles* handles);
// The input plug-ins are handed, copied from the record into a block of
// the worker's own (below 4 GB on x64). Null when there is no room.
PluginInput* Worker_Input(const PluginRegistry* registry);
// The worker's search over the record, and what became of the file,
// reported on `events`; bindUser32 readies USER32 once a plug-in took the
// file (1 when it did).
WorkerOutcome Worker_Serve(const PluginRegistry* registry, const PluginInput* input, HANDLE events,
                           int (*bindUser32)());
// What the worker does with the accepting plug-in: None when it could not
// decode or list the file and the next plug-in is asked.
WorkerOutcome Worker_Take(PluginSearch* search);
