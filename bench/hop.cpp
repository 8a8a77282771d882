// The second floor of the benchmark: a program that does nothing but start
// the do-nothing program beside it (trivial.exe) and wait for it, as the
// run starts its worker. Less the do-nothing floor, its run time is what
// one process start costs on top of a run's own.
#include <windows.h>

extern "C" void Hop_Entry() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    while (length > 0 && path[length - 1] != L'\\') {
        --length;
    }
    lstrcpynW(path + length, L"trivial.exe", MAX_PATH - static_cast<int>(length));
    wchar_t line[] = L"trivial.exe";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    UINT code = 1;
    if (CreateProcessW(path, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        code = 0;
    }
    ExitProcess(code);
}
