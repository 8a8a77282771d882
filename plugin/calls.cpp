// Calls into the loaded plug-in, each under the fault guard. Where the
// plug-in exports a wide-character twin, that twin is called with the
// file's exact UTF-16 path; otherwise the ANSI entry point gets the ANSI
// path, and a plug-in that needs one for a file the code page cannot spell
// lacks what the call needs.
#include "plugin/asker.h"
#include "plugin/guard.h"
#include "plugin/search.h"

// One call's entry point and arguments. A wide twin takes its path in the
// same argument as its ANSI entry point and is otherwise the same, so both
// are called through the ANSI type, the path passed on unchanged.
struct PluginArgs {
    HMODULE module;
    void* entry;
    const void* path;
    SpiWord offset;
    void* head;
    char* text;
    int length;
    HLOCAL* first;
    HLOCAL* second;
};

static LPCSTR Plugin_PathArg(const PluginArgs* a) {
    return static_cast<LPCSTR>(a->path);
}

// The plug-in's own DLLs come from its folder, the program's and the
// system's, never from the current folder. A system that predates these
// flags refuses them as a parameter: there the search starts in the
// plug-in's folder, with the current folder taken out by SetDllDirectory.
static int Plugin_CallLoad(void* p) {
    auto* a = static_cast<PluginArgs*>(p);
    auto* path = static_cast<const wchar_t*>(a->path);
    a->module = LoadLibraryExW(path, nullptr,
                               LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (a->module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
        a->module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    return a->module != nullptr;
}

static int Plugin_CallFree(void* p) {
    return FreeLibrary(static_cast<PluginArgs*>(p)->module);
}

// A plug-in reporting progress is not silent; the run never asks it to stop.
static int WINAPI Plugin_Progress(int, int, SpiWord) {
    Guard_Heard();
    return 0;
}

static int Plugin_CallVersion(void* p) {
    auto* a = static_cast<PluginArgs*>(p);
    return reinterpret_cast<GetPluginInfoProc>(a->entry)(0, a->text, a->length);
}

static int Plugin_CallIsSupported(void* p) {
    auto* a = static_cast<PluginArgs*>(p);
    return reinterpret_cast<IsSupportedProc>(a->entry)(Plugin_PathArg(a), a->head);
}

static int Plugin_CallGetPicture(void* p) {
    auto* a = static_cast<PluginArgs*>(p);
    return reinterpret_cast<GetPictureProc>(a->entry)(Plugin_PathArg(a), a->offset, 0, a->first,
                                                      a->second, Plugin_Progress, 0);
}

static int Plugin_CallGetArchiveInfo(void* p) {
    auto* a = static_cast<PluginArgs*>(p);
    return reinterpret_cast<GetArchiveInfoProc>(a->entry)(Plugin_PathArg(a), a->offset, 0,
                                                          a->first);
}

// The entry point for the searched file: the wide twin with the UTF-16
// path, else the ANSI one with the ANSI path. Missing when the plug-in has
// neither; when it has only the ANSI one and the code page cannot spell the
// path, the plug-in cannot read the file: *readable is 0.
static PluginCall Plugin_Choose(const char* name, const char* wideName, PluginArgs* args,
                                int* readable) {
    args->entry = Spi_Entry(g_search.module, wideName);
    args->path = g_search.path;
    if (args->entry == nullptr) {
        args->entry = Spi_Entry(g_search.module, name);
        args->path = g_search.ansiPath;
    }
    *readable = args->path != nullptr;
    return args->entry != nullptr ? PluginCall::Returned : PluginCall::Missing;
}

// A plug-in that faulted stays loaded (its code may still hold what it
// took) and is not asked again; the thread it faulted on is retired.
static PluginCall Plugin_Run(int (*call)(void*), PluginArgs* args, int* result, DWORD limit) {
    if (!Guard_Run(call, args, result, limit)) {
        g_search.files[g_search.current].faulted = 1;
        g_search.leftLoaded = 1;
        g_search.inLoader = 0;
        Asker_Retire();
        return PluginCall::Faulted;
    }
    return PluginCall::Returned;
}

// Loading and freeing run the plug-in's DllMain: they are calls like any other.
static PluginCall Plugin_RunLoader(int (*call)(void*), PluginArgs* args, int* result) {
    g_search.inLoader = 1;
    PluginCall done = Plugin_Run(call, args, result, GUARD_ANSWER_MS);
    g_search.inLoader = 0;
    return done;
}

HMODULE Plugin_LoadFile(const wchar_t* path) {
    PluginArgs args = {};
    args.path = path;
    int loaded;
    return Plugin_RunLoader(Plugin_CallLoad, &args, &loaded) == PluginCall::Returned ? args.module
                                                                                     : nullptr;
}

void Plugin_FreeModule(HMODULE module) {
    PluginArgs args = {};
    args.module = module;
    int freed;
    // A plug-in that cannot be freed stays where it is until the run ends.
    (void)Plugin_RunLoader(Plugin_CallFree, &args, &freed);
}

PluginCall Plugin_GetVersion(char* version, int length) {
    PluginArgs args = {};
    args.entry = Spi_Entry(g_search.module, "GetPluginInfo");
    args.text = version;
    args.length = length;
    int ignored;
    // The result is not read: the text in the buffer decides.
    return args.entry != nullptr ? Plugin_Run(Plugin_CallVersion, &args, &ignored, GUARD_ANSWER_MS)
                                 : PluginCall::Missing;
}

// A call about the searched file, through the entry point Plugin_Choose
// picks; *result is `unread` when the plug-in cannot be asked.
static PluginCall Plugin_CallAbout(const char* name, const char* wideName, int (*call)(void*),
                                   PluginArgs* args, int* result, int unread, DWORD limit) {
    int readable;
    PluginCall chosen = Plugin_Choose(name, wideName, args, &readable);
    *result = unread;
    return chosen == PluginCall::Returned && readable ? Plugin_Run(call, args, result, limit)
                                                      : chosen;
}

PluginCall Plugin_IsSupported(const char* head, int* accepted) {
    PluginArgs args = {};
    args.head = const_cast<char*>(head);
    return Plugin_CallAbout("IsSupported", "IsSupportedW", Plugin_CallIsSupported, &args, accepted,
                            0, GUARD_ANSWER_MS);
}

PluginCall Plugin_GetPicture(HLOCAL* header, HLOCAL* pixels, int* result) {
    PluginArgs args = {};
    args.offset = Plugin_Offset();
    args.first = header;
    args.second = pixels;
    return Plugin_CallAbout("GetPicture", "GetPictureW", Plugin_CallGetPicture, &args, result,
                            SPI_READ_ERROR, GUARD_DECODE_MS);
}

PluginCall Plugin_GetArchiveInfo(HLOCAL* entries, int* wideRecords, int* result) {
    PluginArgs args = {};
    args.offset = Plugin_Offset();
    args.first = entries;
    PluginCall call =
        Plugin_CallAbout("GetArchiveInfo", "GetArchiveInfoW", Plugin_CallGetArchiveInfo, &args,
                         result, SPI_READ_ERROR, GUARD_DECODE_MS);
    *wideRecords = args.path == g_search.path;
    return call;
}
