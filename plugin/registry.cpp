// The plug-in registry: the search order, the filters and the version test
// that decide which plug-ins a run sees, and in which order they are asked.
#include "plugin/registry.h"
#include "plugin/spi.h"

PluginRegistry g_plugins;

static const char REGISTRY_KEY[] = "Software\\Morvenko\\Susie\\Plug-in";
static const char REGISTRY_VALUE[] = "Path";
// The plug-in files of this build, in the order each folder's are loaded.
// Published 64-bit plug-ins are named *.sph; the x64 program loads both.
#ifdef _WIN64
static const char* const PLUGIN_PATTERNS[] = {"*.spi", "*.sph"};
#else
static const char* const PLUGIN_PATTERNS[] = {"*.spi"};
#endif
constexpr DWORD PLUGIN_DIR_LIMIT = PLUGIN_PATH_SIZE - 1;

// Concatenates a, b and c into out; 0 when the result does not fit the
// 260-byte buffer, so a long text is skipped rather than cut into another path.
static int Plugin_Join(char* out, const char* a, const char* b, const char* c) {
    int la = lstrlenA(a);
    int lb = lstrlenA(b);
    int lc = lstrlenA(c);
    if (la + lb + lc >= PLUGIN_PATH_SIZE) {
        return 0;
    }
    lstrcpynA(out, a, la + 1);
    lstrcpynA(out + la, b, lb + 1);
    lstrcpynA(out + la + lb, c, lc + 1);
    return 1;
}

static int Plugin_IsLoadable(const WIN32_FIND_DATAA* found) {
    return found->nFileSizeHigh == 0 && found->nFileSizeLow != 0;
}

// Cuts a path at its last backslash, stepping by characters so that the
// second byte of a double-byte character is never taken for one.
static void Plugin_CutAtLastBackslash(char* path) {
    char* last = path;
    for (char* p = path; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\') {
            last = p;
        }
    }
    *last = '\0';
}

// Only a full path names a folder: "X:\..." or "\\server\share...". An
// empty or relative text would name the current folder, which for a file
// sent to the program is the folder the file is in.
static int Plugin_IsFolder(const char* dir) {
    char drive = dir[0] | 0x20;
    if (drive >= 'a' && drive <= 'z' && dir[1] == ':' && dir[2] == '\\') {
        return 1;
    }
    if (dir[0] != '\\' || dir[1] != '\\' || dir[2] == '\0' || dir[2] == '\\') {
        return 0;
    }
    const char* p = dir + 2;
    while (*p != '\0' && *p != '\\') {
        p = CharNextA(p);
    }
    return *p == '\\' && p[1] != '\0' && p[1] != '\\';
}

int Plugin_Init() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, REGISTRY_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD size = PLUGIN_DIR_LIMIT;
    int read =
        RegQueryValueExA(key, REGISTRY_VALUE, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(g_plugins.registeredDir), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    // A value stored without its terminator still ends inside the buffer.
    g_plugins.registeredDir[read ? size : 0] = '\0';

    g_plugins.count = 0;
    DWORD length = GetModuleFileNameA(nullptr, g_plugins.programDir, PLUGIN_DIR_LIMIT);
    if (length == 0 || length >= PLUGIN_DIR_LIMIT) {
        // A path cut to fit would name an ancestor folder: it names none.
        g_plugins.programDir[0] = '\0';
    } else {
        g_plugins.programDir[length] = '\0';
        Plugin_CutAtLastBackslash(g_plugins.programDir);
    }

    if (!read) {
        return 0;
    }
    g_plugins.initialised = 1;
    return 1;
}

int Plugin_CountFiles(const char* pattern) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    int count = 0;
    do {
        count += Plugin_IsLoadable(&found);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

static int Plugin_CountIn(const char* dir) {
    if (!Plugin_IsFolder(dir)) {
        return 0;
    }
    int count = 0;
    for (const char* name : PLUGIN_PATTERNS) {
        char pattern[PLUGIN_PATH_SIZE];
        if (Plugin_Join(pattern, dir, "\\", name)) {
            count += Plugin_CountFiles(pattern);
        }
    }
    return count;
}

// Loads one plug-in file and keeps it when it declares a known interface
// version and the table has room.
static void Plugin_LoadOne(const char* fullPath) {
    // The plug-in's own DLLs come from its folder, the program's and the
    // system's, never from the current folder. A system that predates these
    // flags refuses them as a parameter: there the search starts in the
    // plug-in's folder, with the current folder taken out by Plugin_Load.
    HMODULE module = LoadLibraryExA(
        fullPath, nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
        module = LoadLibraryExA(fullPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    if (module == nullptr) {
        return;
    }
    auto getInfo = reinterpret_cast<GetPluginInfoProc>(Spi_Entry(module, "GetPluginInfo"));
    if (getInfo == nullptr) {
        FreeLibrary(module);
        return;
    }
    char version[256] = {};
    // Its result is not read: the text in the buffer decides.
    (void)getInfo(0, version, 255);
    version[255] = '\0';
    int known =
        lstrcmpiA(version, SPI_VERSION_IMAGE) == 0 || lstrcmpiA(version, SPI_VERSION_ARCHIVE) == 0;
    if (!known || g_plugins.count >= g_plugins.capacity) {
        FreeLibrary(module);
        return;
    }
    g_plugins.table[g_plugins.count++] = module;
}

static void Plugin_LoadMatches(const char* dirText, const char* name) {
    char pattern[PLUGIN_PATH_SIZE];
    if (!Plugin_Join(pattern, dirText, name, "")) {
        return;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        char fullPath[PLUGIN_PATH_SIZE];
        if (Plugin_IsLoadable(&found) && Plugin_Join(fullPath, dirText, found.cFileName, "")) {
            Plugin_LoadOne(fullPath);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

static void Plugin_LoadFrom(const char* dir) {
    char dirText[PLUGIN_PATH_SIZE];
    if (!Plugin_IsFolder(dir) || !Plugin_Join(dirText, dir, "\\", "")) {
        return;
    }
    for (const char* name : PLUGIN_PATTERNS) {
        Plugin_LoadMatches(dirText, name);
    }
}

int Plugin_Load(int selector) {
    if (selector == 0 || !g_plugins.initialised) {
        return 0;
    }
    int total = 0;
    if (selector & PLUGIN_DIR_PROGRAM) {
        total += Plugin_CountIn(g_plugins.programDir);
    }
    if (selector & PLUGIN_DIR_REGISTRY) {
        total += Plugin_CountIn(g_plugins.registeredDir);
    }
    if (selector & PLUGIN_DIR_WINDOWS) {
        char windowsDir[PLUGIN_PATH_SIZE];
        UINT length = GetWindowsDirectoryA(windowsDir, PLUGIN_DIR_LIMIT);
        if (length != 0 && length < PLUGIN_DIR_LIMIT) {
            total += Plugin_CountIn(windowsDir);
        }
    }
    if (total == 0 || !Plugin_AllocTable(total)) {
        return 0;
    }
    // Nor do the DLLs that plug-ins load as they run. Should the call fail,
    // each plug-in still loads from its own full path.
    (void)SetDllDirectoryA("");
    // The Windows directory is counted but never loaded from.
    if (selector & PLUGIN_DIR_PROGRAM) {
        Plugin_LoadFrom(g_plugins.programDir);
    }
    if (selector & PLUGIN_DIR_REGISTRY) {
        Plugin_LoadFrom(g_plugins.registeredDir);
    }
    return 1;
}

int Plugin_AllocTable(int capacity) {
    Plugin_Free();
    g_plugins.table = static_cast<HMODULE*>(
        GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, static_cast<SIZE_T>(capacity) * sizeof(HMODULE)));
    if (g_plugins.table == nullptr) {
        return 0;
    }
    g_plugins.capacity = capacity;
    return 1;
}

void Plugin_Free() {
    if (!g_plugins.initialised) {
        return;
    }
    if (g_plugins.table != nullptr) {
        for (int i = 0; i < g_plugins.count; ++i) {
            if (g_plugins.table[i] != nullptr) {
                FreeLibrary(g_plugins.table[i]);
            }
        }
        GlobalFree(g_plugins.table);
        g_plugins.table = nullptr;
    }
    g_plugins.count = 0;
}

int Plugin_Release() {
    if (!g_plugins.initialised) {
        return 0;
    }
    Plugin_Free();
    return 1;
}

// One pass of the support test over the loaded plug-ins, in table order.
static HMODULE Plugin_Ask(const char* path, const char* block) {
    for (int i = 0; i < g_plugins.count; ++i) {
        HMODULE module = g_plugins.table[i];
        if (module == nullptr) {
            continue;
        }
        auto isSupported = reinterpret_cast<IsSupportedProc>(Spi_Entry(module, "IsSupported"));
        if (isSupported != nullptr && isSupported(path, const_cast<char*>(block)) != 0) {
            return module;
        }
    }
    return nullptr;
}

HMODULE Plugin_Find(const char* path, const void* head, int* skipOut) {
    if (!g_plugins.initialised || g_plugins.count <= 0) {
        return nullptr;
    }
    // Every plug-in sees the head before any sees it HEAD_SKIP bytes on: a
    // file that one plug-in recognises from its start is that plug-in's.
    const char* block = static_cast<const char*>(head);
    int skip = 0;
    HMODULE module = Plugin_Ask(path, block);
    if (module == nullptr && reinterpret_cast<uintptr_t>(head) >= SPI_HANDLE_LIMIT) {
        skip = 1;
        module = Plugin_Ask(path, block + HEAD_SKIP);
    }
    if (module != nullptr && skipOut != nullptr) {
        *skipOut = skip;
    }
    return module;
}

PluginKind Plugin_Kind(HMODULE module) {
    auto getInfo = reinterpret_cast<GetPluginInfoProc>(Spi_Entry(module, "GetPluginInfo"));
    if (getInfo == nullptr) {
        return PLUGIN_KIND_NONE;
    }
    char version[16] = {};
    // Its result is not read: the text in the buffer decides.
    (void)getInfo(0, version, 15);
    version[15] = '\0';
    if (lstrcmpA(version, SPI_VERSION_IMAGE) == 0) {
        return PLUGIN_KIND_IMAGE;
    }
    if (lstrcmpA(version, SPI_VERSION_ARCHIVE) == 0) {
        return PLUGIN_KIND_ARCHIVE;
    }
    return PLUGIN_KIND_NONE;
}
