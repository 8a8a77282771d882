// The fault guard around calls into plug-ins: a plug-in that faults (an
// access violation, an illegal instruction, a stack overflow, any exception
// it does not handle itself) makes that one call fail instead of ending the
// process.
#pragma once

#include <windows.h>

// Makes the guard the process's last-chance exception handler. Outside a
// guarded call it lets an exception take its course.
void Guard_Install();

// Runs call(args) and stores its result. 1 when it returned, 0 when it
// faulted; the plug-in may then hold what it had taken, and is not to be
// called again.
int Guard_Run(int (*call)(void* args), void* args, int* result);
