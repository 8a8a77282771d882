// The search for the plug-in that takes a file: the listed plug-ins are
// loaded one at a time, in order, and each is freed again unless it
// accepts, so that no more than one is loaded at once (a plug-in that
// faulted stays loaded: its code may still hold what it took). Every
// plug-in sees the file's head before any sees it HEAD_SKIP bytes on.
#include "plugin/registry.h"

void Plugin_StartSearch(const wchar_t* path, const char* ansiPath, const char* head) {
    g_plugins.path = path;
    g_plugins.ansiPath = ansiPath;
    g_plugins.head = head;
    g_plugins.pass = 0;
    g_plugins.next = 0;
    g_plugins.module = nullptr;
}

PluginKind Plugin_Kind(const char* version) {
    if (lstrcmpA(version, SPI_VERSION_IMAGE) == 0) {
        return PLUGIN_KIND_IMAGE;
    }
    if (lstrcmpA(version, SPI_VERSION_ARCHIVE) == 0) {
        return PLUGIN_KIND_ARCHIVE;
    }
    return PLUGIN_KIND_NONE;
}

static HMODULE Plugin_LoadFile(const wchar_t* path) {
    // The plug-in's own DLLs come from its folder, the program's and the
    // system's, never from the current folder. A system that predates these
    // flags refuses them as a parameter: there the search starts in the
    // plug-in's folder, with the current folder taken out by SetDllDirectory.
    HMODULE module = LoadLibraryExW(
        path, nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
        module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    return module;
}

// Frees the loaded plug-in, unless it faulted.
static void Plugin_Drop() {
    if (g_plugins.module != nullptr && !g_plugins.files[g_plugins.current].faulted) {
        FreeLibrary(g_plugins.module);
    }
    g_plugins.module = nullptr;
}

// Loads the file, checks its version and asks it about the head of this
// pass; 1 when it accepts, and it then stays loaded.
static int Plugin_Ask(int index) {
    HMODULE module = Plugin_LoadFile(g_plugins.files[index].path);
    if (module == nullptr) {
        return 0;
    }
    g_plugins.module = module;
    g_plugins.current = index;
    char version[256] = {};
    PluginCall call = Plugin_GetVersion(version, 255);
    version[255] = '\0';
    int known =
        lstrcmpiA(version, SPI_VERSION_IMAGE) == 0 || lstrcmpiA(version, SPI_VERSION_ARCHIVE) == 0;
    int accepted = 0;
    if (call == PluginCall::Returned && known) {
        g_plugins.kind = Plugin_Kind(version);
        call = Plugin_IsSupported(g_plugins.head + g_plugins.pass * HEAD_SKIP, &accepted);
    }
    if (call == PluginCall::Returned && accepted) {
        return 1;
    }
    Plugin_Drop();
    return 0;
}

int Plugin_Next() {
    Plugin_Drop();
    // The DLLs that plug-ins load as they run do not come from the current
    // folder either. Should the call fail, each plug-in still loads from its
    // own full path.
    if (g_plugins.pass == 0 && g_plugins.next == 0) {
        (void)SetDllDirectoryW(L"");
    }
    for (;;) {
        while (g_plugins.next < g_plugins.count) {
            int index = g_plugins.next++;
            if (!g_plugins.files[index].faulted && Plugin_Ask(index)) {
                return 1;
            }
        }
        if (g_plugins.pass == 1) {
            return 0;
        }
        g_plugins.pass = 1;
        g_plugins.next = 0;
    }
}

SpiWord Plugin_Offset() {
    return g_plugins.pass == 1 ? HEAD_SKIP : 0;
}

void Plugin_Release() {
    if (g_plugins.files != nullptr) {
        Plugin_Drop();
        LocalFree(g_plugins.files);
    }
    g_plugins.files = nullptr;
    g_plugins.count = 0;
    g_plugins.capacity = 0;
}
