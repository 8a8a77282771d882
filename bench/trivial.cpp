// The floor of the benchmark: a Windows program that does nothing, built
// like the tool (no C runtime start-up), so that its run time is what Wine
// takes to start and end a process.
#include <windows.h>

extern "C" void Trivial_Entry() {
    ExitProcess(0);
}
