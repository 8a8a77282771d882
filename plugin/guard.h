// The fault guard around calls into plug-ins: a plug-in that faults (an
// access violation, an illegal instruction, a stack overflow, a C++ throw or
// any other exception it does not handle itself, continuable or not) makes
// that one call fail instead of ending the process, and a call that stays
// silent past its limit is given up. Only the thread that asks is rescued:
// a fault on any other thread (a plug-in's own worker) ends that thread.
#pragma once

#include <windows.h>

// How long a call may stay silent. Reading a version or a file's head, and
// loading or freeing a plug-in, take a moment; a decode of a large file by a
// slow plug-in may take long, and the plug-in's progress reports each
// restart its clock.
constexpr DWORD GUARD_ANSWER_MS = 5000;
constexpr DWORD GUARD_DECODE_MS = 120000;

// Makes the guard the process's last-chance exception handler, and keeps it
// so: a plug-in that sets a filter of its own cannot take its place. Called
// once, on the thread that watches the asking one.
void Guard_Install();

// Runs call(args) on this thread and stores its result. 1 when it returned,
// 0 when it faulted; the plug-in may then hold what it had taken, and is not
// to be called again. A call given up as silent never comes back here: its
// thread ends as soon as the plug-in lets it go.
int Guard_Run(int (*call)(void* args), void* args, int* result, DWORD limit);

// A plug-in's progress report: the call in progress is not silent.
void Guard_Heard();

// For the watching thread: how long until the call in progress has been
// silent past its limit (INFINITE when no call is in progress), and giving
// it up. Guard_GiveUp returns 1 when a call was in progress and is now given
// up; `expiredOnly` gives it up only once it is past its limit.
DWORD Guard_TimeLeft();
int Guard_GiveUp(int expiredOnly);
