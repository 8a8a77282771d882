// What the run says of itself, for a user who asks why nothing landed: one
// line per thing it learns, each beginning "quorlex: ", through the debug
// output that DebugView, a debugger or Wine (WINEDEBUG=+debugstr) shows.
// Nobody sees it who does not look, and it costs next to nothing when
// nobody does. Every line comes from the run, out of what it checked; a
// worker writes none. The wording is kept stable: the README lists it.
#pragma once

#include "app/watch.h"

// The file and how much of its head was read, or why it cannot be.
void Say_File(const wchar_t* path, DWORD headBytes, DWORD error);
// Each folder and how many plug-in files it gave.
void Say_Folders(const PluginFolders* folders);
// What a legal event says of a plug-in, told in the state the run's rules
// left `worker` in; `partner`: a partner lies beside the program.
void Say_Event(const PluginRegistry* own, const WatchWorker* worker, const WorkerEvent* event,
               int partner);
// What became of a worker that ended without its outcome, said what the
// search does not allow (`illegal`) or was given up (`givenUp`, after
// `tookMs` in its step): whom the run blames, and why; `again`: the
// plug-in is asked once more.
void Say_Ended(const PluginRegistry* own, const WatchWorker* worker, uint32_t mainThread,
               DWORD exitCode, int givenUp, uint32_t tookMs, int illegal, int again);
// The closing line: what was placed (with the bytes of the first format,
// when known) or why nothing was, and the exit code.
void Say_Closing(const char* what, int exitCode, uint32_t bytes);
