// Calls into the loaded plug-in, each reported first in the registry's
// worker report. Where the plug-in exports a wide-character twin, that twin
// is called with the file's exact UTF-16 path; otherwise the ANSI entry
// point gets the ANSI path, and a plug-in that needs one for a file the
// code page cannot spell lacks what the call needs.
#include "plugin/search.h"

// The report a decode's progress reports count in: set for the decode's
// duration, as no plug-in can be trusted to pass the data word back.
static WorkerReport* g_heard;

// The plug-in's own DLLs come from its folder, the program's and the
// system's, never from the current folder. A system that predates these
// flags refuses them as a parameter: there the search starts in the
// plug-in's folder, with the current folder taken out by SetDllDirectory.
HMODULE Plugin_Load(PluginSearch* search, int index) {
    const wchar_t* path = search->registry->files[index].path;
    Plugin_Report(search, PluginStep::Load);
    HMODULE module = LoadLibraryExW(
        path, nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
        module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    Plugin_Report(search, PluginStep::Between);
    return module;
}

void Plugin_Free(PluginSearch* search) {
    HMODULE module = search->module;
    search->module = nullptr;
    if (module == nullptr) {
        return;
    }
    Plugin_Report(search, PluginStep::Free);
    // A plug-in that cannot be freed stays where it is until the worker ends.
    (void)FreeLibrary(module);
    Plugin_Report(search, PluginStep::Between);
}

// A plug-in reporting progress is not silent; the run never asks it to stop.
static int WINAPI Plugin_Progress(int, int, SpiWord) {
    if (g_heard != nullptr) {
        g_heard->heard = g_heard->heard + 1;
    }
    return 0;
}

PluginCall Plugin_GetVersion(PluginSearch* search, char* version, int length) {
    auto entry = reinterpret_cast<GetPluginInfoProc>(Spi_Entry(search->module, "GetPluginInfo"));
    if (entry == nullptr) {
        return PluginCall::Missing;
    }
    Plugin_Report(search, PluginStep::Version);
    // The result is not read: the text in the buffer decides.
    (void)entry(0, version, length);
    Plugin_Report(search, PluginStep::Between);
    return PluginCall::Returned;
}

// The entry point for the searched file: the wide twin with the UTF-16
// path, else the ANSI one with the ANSI path. A wide twin takes its path
// in the same argument as its ANSI entry point and is otherwise the same,
// so both are called through the ANSI type, the path passed on unchanged.
// Null when the plug-in has neither; *path is null when it has only the
// ANSI one and the code page cannot spell the path.
static void* Plugin_Choose(const PluginSearch* search, const char* name, const char* wideName,
                           LPCSTR* path) {
    void* entry = Spi_Entry(search->module, wideName);
    *path = reinterpret_cast<LPCSTR>(search->registry->path);
    if (entry == nullptr) {
        entry = Spi_Entry(search->module, name);
        *path = search->ansiPath;
    }
    return entry;
}

PluginCall Plugin_IsSupported(PluginSearch* search, const char* head, PluginStep step,
                              int* accepted) {
    LPCSTR path;
    auto entry = reinterpret_cast<IsSupportedProc>(
        Plugin_Choose(search, "IsSupported", "IsSupportedW", &path));
    *accepted = 0;
    if (entry == nullptr) {
        return PluginCall::Missing;
    }
    if (path != nullptr) {
        Plugin_Report(search, step);
        *accepted = entry(path, const_cast<char*>(head)) != 0;
        Plugin_Report(search, PluginStep::Between);
    }
    return PluginCall::Returned;
}

// The decode and the listing stay reported until the worker is done with
// what the plug-in handed back: a block it wrote past the end of breaks
// the heap only when it is freed.
PluginCall Plugin_GetPicture(PluginSearch* search, HLOCAL* header, HLOCAL* pixels, int* result) {
    LPCSTR path;
    auto entry =
        reinterpret_cast<GetPictureProc>(Plugin_Choose(search, "GetPicture", "GetPictureW", &path));
    *result = SPI_READ_ERROR;
    if (entry == nullptr) {
        return PluginCall::Missing;
    }
    if (path != nullptr) {
        Plugin_Report(search, PluginStep::Decode);
        g_heard = &search->registry->report;
        *result = entry(path, Plugin_Offset(search), 0, header, pixels, Plugin_Progress, 0);
        g_heard = nullptr;
    }
    return PluginCall::Returned;
}

PluginCall Plugin_GetArchiveInfo(PluginSearch* search, HLOCAL* entries, int* wideRecords,
                                 int* result) {
    LPCSTR path;
    auto entry = reinterpret_cast<GetArchiveInfoProc>(
        Plugin_Choose(search, "GetArchiveInfo", "GetArchiveInfoW", &path));
    *result = SPI_READ_ERROR;
    *wideRecords = path == reinterpret_cast<LPCSTR>(search->registry->path);
    if (entry == nullptr) {
        return PluginCall::Missing;
    }
    if (path != nullptr) {
        Plugin_Report(search, PluginStep::List);
        *result = entry(path, Plugin_Offset(search), 0, entries);
    }
    return PluginCall::Returned;
}
