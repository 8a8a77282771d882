// Keeps Wine's desktop process up for a whole test session: a program
// that owns one hidden window and waits until the session's Wine server
// ends it. Without it the desktop process quits about a second after the
// last program, and the next one's clipboard thread empties the clipboard
// as it starts, now and then just after a test put something there.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HWND window = CreateWindowExA(0, "STATIC", "quorlex test session", WS_OVERLAPPED, 0, 0, 1, 1,
                                  nullptr, nullptr, nullptr, nullptr);
    if (window == nullptr) {
        return 1;
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    return 0;
}
