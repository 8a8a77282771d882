// What the run's debug lines cost when nobody listens: a program built like
// the tool that writes 400 lines like those of a run in a folder of 400
// declining plug-ins, one per plug-in, and does nothing else.
#include <windows.h>

extern "C" void Debuglines_Entry() {
    wchar_t line[] = L"quorlex: d0000.sph: declined";
    for (int i = 0; i < 400; ++i) {
        line[10] = static_cast<wchar_t>(L'0' + i / 100);
        line[11] = static_cast<wchar_t>(L'0' + i / 10 % 10);
        line[12] = static_cast<wchar_t>(L'0' + i % 10);
        OutputDebugStringW(line);
    }
    ExitProcess(0);
}
