// The process entry: the program runs without the C runtime's start-up code,
// so this is where the process begins and where it ends.
#include "app/app.h"

#include <stdlib.h>

extern "C" void Startup_Entry() {
    char* tail = Startup_GetCommandTail(GetCommandLineA());
    exit(WinMain(GetModuleHandleA(nullptr), nullptr, tail, 1));
}
