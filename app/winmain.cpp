// The command flow of one run: it reads the file's head and lists the
// plug-in files, then has workers of its own, and if need be the partner
// program of the other width, ask the plug-ins about the file until one of
// them puts its picture or its archive's listing on the clipboard. The run
// itself loads no plug-in. The exit code says whether a plug-in took the
// file (1) or not (0).
#include "app/app.h"
#include "app/say.h"

#include <string.h>

#ifdef _WIN64
static const wchar_t PARTNER_NAME[] = L"quorlex.exe";
#else
static const wchar_t PARTNER_NAME[] = L"quorlex64.exe";
#endif
// The tests' own build takes a partner of its own width, which a lane of
// one width can run; the programs users get never do.
#ifdef QX_PARTNER_OF_OWN_WIDTH
constexpr WORD PARTNER_MACHINE = PLUGIN_OWN_MACHINE;
#else
constexpr WORD PARTNER_MACHINE = PLUGIN_OTHER_MACHINE;
#endif

// The partner beside the program: the build of the other width, decided by
// its own PE header, so that a program never starts itself. 0 when there
// is none.
static int Run_FindPartner(const PluginFolders* folders, const wchar_t* self, wchar_t* partner) {
    return Plugin_InFolder(partner, folders->programDir, PARTNER_NAME) &&
           lstrcmpiW(partner, self) != 0 && Plugin_FileMachine(partner) == PARTNER_MACHINE;
}

int Run_Prepare(PluginRegistry* own, const wchar_t* path, PluginFolders* folders) {
    int length = lstrlenW(path);
    DWORD size = FILE_HEAD_SIZE;
    char* head = length < REGISTRY_PATH_UNITS ? Util_ReadFile(path, &size) : nullptr;
    if (head == nullptr) {
        DWORD error = GetLastError();
        Say_File(path, 0,
                 length < REGISTRY_PATH_UNITS && error != 0 ? error : ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    Say_File(path, size, 0);
    own->magic = REGISTRY_MAGIC;
    own->size = sizeof(PluginRegistry);
    memcpy(own->path, path, (static_cast<size_t>(length) + 1) * sizeof(wchar_t));
    memcpy(own->head, head, FILE_HEAD_SIZE);
    LocalFree(head);
    // ANSI plug-ins get the path in the code page; none when it has no
    // spelling there, and then only plug-ins with wide entry points can help.
    char* ansiPath = Startup_AnsiPath(path, length);
    if (ansiPath != nullptr) {
        int ansiLength = lstrlenA(ansiPath);
        if (ansiLength < REGISTRY_ANSI_BYTES) {
            memcpy(own->ansiPath, ansiPath, static_cast<size_t>(ansiLength) + 1);
            own->hasAnsiPath = 1;
        }
        LocalFree(ansiPath);
    }
    // Neither result is looked at: with no folder and no plug-in the search
    // finds nothing and the run ends with 0.
    (void)Plugin_Init(folders);
    (void)Plugin_ListFiles(own, folders);
    Say_Folders(folders);
    return 1;
}

// The search: this program's own workers, then, when none of its plug-ins
// took the file and a file of the other width is listed, the partner's.
static WorkerOutcome Run_Ask(WatchAsk* ask, const PluginFolders* folders) {
    wchar_t self[PLUGIN_PATH_SIZE];
    DWORD selfLength = GetModuleFileNameW(nullptr, self, PLUGIN_PATH_SIZE);
    if (selfLength == 0 || selfLength >= PLUGIN_PATH_SIZE) {
        return WorkerOutcome::None;
    }
    wchar_t partner[PLUGIN_PATH_SIZE];
    ask->partner = Run_FindPartner(folders, self, partner);
    WorkerOutcome outcome = Watch_Ask(ask, self, PLUGIN_OWN_MACHINE);
    if (outcome == WorkerOutcome::NothingTaken && Watch_OtherWidthListed(ask->registry) &&
        ask->partner) {
        // The partner asks only its own width's files, from the first.
        ask->registry->startPass = 0;
        ask->registry->startFile = 0;
        ask->retried = MAXDWORD;
        outcome = Watch_Ask(ask, partner, PARTNER_MACHINE);
    }
    return outcome;
}

// The record lives in an unnamed mapping that the run alone can write:
// its workers inherit a handle that allows reading only.
static PluginRegistry* Run_Share(HANDLE* mapping, HANDLE* readOnly) {
    *readOnly = nullptr;
    *mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  sizeof(PluginRegistry), nullptr);
    if (*mapping == nullptr) {
        return nullptr;
    }
    HANDLE self = GetCurrentProcess();
    if (!DuplicateHandle(self, *mapping, self, readOnly, FILE_MAP_READ, TRUE, 0)) {
        *readOnly = nullptr;
        return nullptr;
    }
    return static_cast<PluginRegistry*>(
        MapViewOfFile(*mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(PluginRegistry)));
}

// The closing line: what was placed, or why nothing was.
static void Run_SayClosing(const WatchAsk* ask, int read, WorkerOutcome outcome, int exitCode) {
    const char* why = "nothing placed: the search could not be finished (no worker could be "
                      "started, or three ended before they asked anything)";
    if (!read) {
        why = "nothing placed: the file cannot be read";
    } else if (outcome == WorkerOutcome::NothingTaken) {
        why = ask->registry->count == 0 ? "nothing placed: no plug-in files in either folder"
              : Watch_OtherWidthListed(ask->registry) && !ask->partner
                  ? "nothing placed: no plug-in took the file, and the plug-ins of the other "
                    "width need the partner program beside this one"
                  : "nothing placed: no plug-in took the file";
    } else if (outcome == WorkerOutcome::Decoded) {
        why = ask->placed == 3   ? "placed the picture as CF_DIB, CF_DIBV5 and PNG (it has alpha)"
              : ask->placed == 1 ? "placed the picture as CF_DIB"
              : ask->placed == 0 ? "nothing placed: the clipboard refused the picture, and the "
                                   "failure box was shown"
                                 : "nothing placed: placing the picture was given up";
    } else if (outcome == WorkerOutcome::Listed) {
        why = "placed the listing as CF_TEXT and CF_UNICODETEXT";
    } else if (outcome == WorkerOutcome::NotListed) {
        why = ask->placed == 0 ? "nothing placed: the clipboard refused the listing"
                               : "nothing placed: placing the listing was given up";
    }
    Say_Closing(why, exitCode,
                outcome == WorkerOutcome::Decoded && ask->placed > 0 ? ask->placedBytes : 0);
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR path, int) {
    if (path[0] == L'\0') {
        return 1;
    }
    HANDLE mapping = nullptr;
    WatchAsk ask = {};
    ask.retried = MAXDWORD;
    ask.registry = Run_Share(&mapping, &ask.block);
    PluginFolders folders;
    WorkerOutcome outcome = WorkerOutcome::None;
    int read = ask.registry != nullptr && Run_Prepare(ask.registry, path, &folders);
    if (read) {
        outcome = Run_Ask(&ask, &folders);
    }
    // A picture decoded counts whatever became of its placing; a listing
    // only once it was placed.
    int exitCode = outcome == WorkerOutcome::Decoded || outcome == WorkerOutcome::Listed ? 1 : 0;
    if (ask.registry != nullptr) {
        Run_SayClosing(&ask, read, outcome, exitCode);
    }
    if (ask.registry != nullptr) {
        UnmapViewOfFile(ask.registry);
    }
    if (ask.block != nullptr) {
        CloseHandle(ask.block);
    }
    if (mapping != nullptr) {
        CloseHandle(mapping);
    }
    return exitCode;
}
