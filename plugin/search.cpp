// The search for the plug-in that takes a file: the listed plug-ins are
// loaded one at a time, in order, and each is freed again unless it
// accepts (a plug-in that faulted or was lost stays loaded: its code may
// still hold what it took). A plug-in declares its kind by its version
// text, exactly "00IN" or "00AM"; any other text is no plug-in of ours.
// Every plug-in sees the file's head before any takes the file HEAD_SKIP
// bytes on; each is asked about both while it is loaded the one time, and
// its answer about the bytes further on is kept for when none took the head.
#include "plugin/search.h"

void Plugin_StartSearch(const wchar_t* path, const char* ansiPath, const char* head) {
    g_search.path = path;
    g_search.ansiPath = ansiPath;
    g_search.head = head;
    g_search.pass = 0;
    g_search.next = 0;
    g_search.module = nullptr;
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

// Frees the loaded plug-in, unless it faulted or the loader is held.
static void Plugin_Drop() {
    HMODULE module = g_search.module;
    g_search.module = nullptr;
    if (module != nullptr && !g_search.files[g_search.current].faulted && !g_search.loaderHeld) {
        Plugin_FreeModule(module);
    }
}

// The version buffer: what the plug-in is told it may write, and room past
// that for a plug-in that copies its text with no regard to the length.
constexpr int VERSION_TOLD = 255;
constexpr int VERSION_BUFFER = 1024;

// Asks the loaded plug-in about the head HEAD_SKIP bytes on and keeps the
// answer for the second pass.
static void Plugin_AskFurtherOn() {
    int accepted = 0;
    PluginCall call = Plugin_IsSupported(g_search.head + HEAD_SKIP, &accepted);
    g_search.files[g_search.current].acceptsFurtherOn = call == PluginCall::Returned && accepted;
}

// Loads the file, when its header says it is of this program's width, and
// checks its version. In the first pass it asks the plug-in about the
// head, and when it declines, about the bytes further on; in the second it
// takes the kept answer. 1 when it accepts, and it then stays loaded.
static int Plugin_Ask(int index) {
    g_search.current = index;
    g_search.module = nullptr;
    if (Plugin_Width(index) != PluginWidth::Own) {
        return 0;
    }
    HMODULE module = Plugin_LoadFile(g_search.files[index].path);
    if (module == nullptr) {
        return 0;
    }
    g_search.module = module;
    char version[VERSION_BUFFER] = {};
    PluginCall call = Plugin_GetVersion(version, VERSION_TOLD);
    version[VERSION_TOLD] = '\0';
    g_search.kind = Plugin_Kind(version);
    int accepted = g_search.pass == 1;
    if (call == PluginCall::Returned && g_search.kind != PLUGIN_KIND_NONE && !accepted) {
        call = Plugin_IsSupported(g_search.head, &accepted);
        if (call == PluginCall::Returned && !accepted) {
            Plugin_AskFurtherOn();
        }
    }
    if (call == PluginCall::Returned && g_search.kind != PLUGIN_KIND_NONE && accepted) {
        return 1;
    }
    Plugin_Drop();
    return 0;
}

int Plugin_Next() {
    // A plug-in that took the head and then could not decode or list the
    // file is asked about the bytes further on before it is freed.
    if (g_search.module != nullptr && g_search.pass == 0 &&
        !g_search.files[g_search.current].faulted) {
        Plugin_AskFurtherOn();
    }
    Plugin_Drop();
    // The DLLs that plug-ins load as they run do not come from the current
    // folder either. Should the call fail, each plug-in still loads from its
    // own full path.
    if (g_search.pass == 0 && g_search.next == 0) {
        (void)SetDllDirectoryW(L"");
    }
    for (;;) {
        while (g_search.next < g_search.count && !g_search.loaderHeld) {
            int index = g_search.next++;
            const PluginFile* file = &g_search.files[index];
            if (!file->faulted && (g_search.pass == 0 || file->acceptsFurtherOn) &&
                Plugin_Ask(index)) {
                return 1;
            }
        }
        if (g_search.loaderHeld) {
            // What was not asked is still counted for the partner.
            for (int i = 0; i < g_search.count; ++i) {
                (void)Plugin_Width(i);
            }
            return 0;
        }
        if (g_search.pass == 1) {
            return 0;
        }
        g_search.pass = 1;
        g_search.next = 0;
    }
}

SpiWord Plugin_Offset() {
    return g_search.pass == 1 ? HEAD_SKIP : 0;
}

void Plugin_Release() {
    if (g_search.files != nullptr) {
        Plugin_Drop();
        LocalFree(g_search.files);
    }
    g_search.files = nullptr;
    g_search.count = 0;
    g_search.capacity = 0;
}

void Plugin_Lost() {
    g_search.files[g_search.current].faulted = 1;
    g_search.module = nullptr;
    g_search.leftLoaded = 1;
    if (g_search.inLoader) {
        g_search.loaderHeld = 1;
        g_search.inLoader = 0;
    }
}

int Plugin_LoaderFree() {
    return !g_search.loaderHeld;
}

int Plugin_AnyLeft() {
    return g_search.leftLoaded;
}
