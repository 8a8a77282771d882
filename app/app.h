// The command front end: the process entry, the command tail and the path
// it names, wWinMain and the file-head reader; the run's watch over its
// workers, and the worker that asks the plug-ins.
#pragma once

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

// What the run's watch works on: its own copy of the record (what it put
// there), the block its workers share, and the block's handle.
struct WatchAsk {
    PluginRegistry* own;
    PluginRegistry* shared;
    HANDLE block;
    uint32_t retried;    // the call asked once more after a fault on a plug-in's thread
    int (*bindUser32)(); // for the benchmark's build that asks in the run itself
};

// Asks the plug-ins in `program` workers (this program, or the partner of
// the other width) one after another, from where `ask->own` says, until one
// writes how the search ended. None when the search could not be finished:
// no worker could be started, or three in a row ended before they asked
// anything.
WorkerOutcome Watch_Ask(WatchAsk* ask, const wchar_t* program);
// Whether a worker found a listed file of the other width.
int Watch_OtherWidthListed(const WatchAsk* ask);

// 1 when this process was started as a worker, with the shared block's
// handle; the variable that said so is removed.
int Worker_Block(HANDLE* block);
// Names the block in the environment a worker is started with.
int Worker_Describe(HANDLE block);
// Loads USER32 and fills the slots the program's USER32 calls go through;
// once is enough. 1 when every one was found.
int Worker_BindUser32();
// The worker: maps the block, asks the plug-ins, writes the outcome and
// ends the process.
[[noreturn]] void Worker_Main(HANDLE block);
// The worker's search over the registry, and what became of the file;
// bindUser32 readies USER32 once a plug-in took the file (1 when it did).
WorkerOutcome Worker_Serve(PluginRegistry* registry, int (*bindUser32)());
// What the worker does with the accepting plug-in: None when it could not
// decode or list the file and the next plug-in is asked.
WorkerOutcome Startup_Take(PluginSearch* search);
