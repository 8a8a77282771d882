// The hand-over to the partner program: the build of the other width,
// lying beside this one, which loads the plug-ins this one cannot. It is
// started, with the same path, only when none of this program's plug-ins
// took the file and a plug-in file of the other width was found. Which file
// is the partner is decided by its own PE header, never by its name alone,
// so that a program never starts itself; a run that was handed the file
// (told by an environment variable, which no path can collide with) asks
// only its own plug-ins and never hands on.
#include "app/app.h"
#include "plugin/search.h"

#include <string.h>

#ifdef _WIN64
static const wchar_t PARTNER_NAME[] = L"quorlex.exe";
#else
static const wchar_t PARTNER_NAME[] = L"quorlex64.exe";
#endif
// The tests' own build takes a partner of its own width, which the lane
// can run; the programs users get never do.
#ifdef QX_PARTNER_OF_OWN_WIDTH
constexpr WORD PARTNER_MACHINE = PLUGIN_OWN_MACHINE;
#else
constexpr WORD PARTNER_MACHINE = PLUGIN_OTHER_MACHINE;
#endif
static const wchar_t HANDED_OVER[] = L"QUORLEX_HANDED_OVER";

int Startup_WasHandedOver() {
    wchar_t value[2];
    return GetEnvironmentVariableW(HANDED_OVER, value, 2) != 0;
}

// Starts the partner on the path and waits for it: its exit code, or -1
// when it cannot be started or ends with anything but 0 or 1.
static int Startup_RunPartner(const wchar_t* partner, const wchar_t* path) {
    int partnerLength = lstrlenW(partner);
    int pathLength = lstrlenW(path);
    SIZE_T units = static_cast<SIZE_T>(partnerLength) + pathLength + 6;
    auto* line = static_cast<wchar_t*>(LocalAlloc(LMEM_FIXED, units * sizeof(wchar_t)));
    if (line == nullptr) {
        return -1;
    }
    // "partner" "path": no Windows path holds a quote.
    wchar_t* p = line;
    *p++ = L'"';
    memcpy(p, partner, static_cast<SIZE_T>(partnerLength) * sizeof(wchar_t));
    p += partnerLength;
    *p++ = L'"';
    *p++ = L' ';
    *p++ = L'"';
    memcpy(p, path, static_cast<SIZE_T>(pathLength) * sizeof(wchar_t));
    p += pathLength;
    *p++ = L'"';
    *p = L'\0';
    int result = -1;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (SetEnvironmentVariableW(HANDED_OVER, L"1") &&
        CreateProcessW(partner, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
        DWORD code = 0;
        // The partner keeps its own limits on its plug-ins' calls.
        if (WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(process.hProcess, &code) && (code == 0 || code == 1)) {
            result = static_cast<int>(code);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    LocalFree(line);
    return result;
}

int Startup_HandOver(const wchar_t* path) {
    if (g_search.otherWidth == 0 || Startup_WasHandedOver()) {
        return -1;
    }
    wchar_t partner[PLUGIN_PATH_SIZE];
    wchar_t self[PLUGIN_PATH_SIZE];
    DWORD selfLength = GetModuleFileNameW(nullptr, self, PLUGIN_PATH_SIZE);
    if (!Plugin_InFolder(partner, g_search.programDir, PARTNER_NAME) || selfLength == 0 ||
        selfLength >= PLUGIN_PATH_SIZE || lstrcmpiW(partner, self) == 0 ||
        Plugin_FileMachine(partner) != PARTNER_MACHINE) {
        return -1;
    }
    return Startup_RunPartner(partner, path);
}
