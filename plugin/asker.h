// The asking thread: every call into a plug-in (loading and freeing it
// included) runs on a thread of the program's own with a large stack,
// watched by the thread that started it. When the asking thread dies in a
// call (a stack overflow can end it) or a call stays silent past its limit,
// the watcher marks that plug-in as lost and starts a new asking thread,
// and the search goes on without it. A thread that a plug-in faulted on is
// retired the same way: its stack and state are not trusted again.
#pragma once

#include <windows.h>

// Reserved for the asking thread's stack: eight times the 1 MiB that the
// main thread of a Windows program gets by default and that plug-ins are
// written against, so that a decoder's deep recursion or large local
// arrays fit. Only what is used is committed.
constexpr SIZE_T ASKER_STACK = 8 * 1024 * 1024;

// Runs step() on an asking thread and waits for it; after a lost call or a
// retired thread, runs it again on a new one. step() must go on from where
// the last one left off. 1 when step() returned; 0 when it could not be
// finished (the loader itself is held by a lost plug-in, or the thread ended
// outside any call). Where no thread can be made, step() runs on this one.
int Asker_Run(void (*step)());

// Ends the calling thread when it is the asking thread: called after a
// plug-in faulted on it, so that the search goes on on a fresh one.
// Elsewhere it returns.
void Asker_Retire();
