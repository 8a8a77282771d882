// Calls into a loaded plug-in, each reported to the run as it begins and,
// but for a decode or a listing, whose caller reports what came of it, as
// it returns. Where the plug-in exports a wide-character twin, that twin is
// called with the file's exact UTF-16 path; otherwise the ANSI entry point
// gets the ANSI path, and a plug-in that needs one for a file the code page
// cannot spell lacks what the call needs.
#include "plugin/calls.h"

#include <string.h>

// The plug-in's own DLLs come from its folder, the program's and the
// system's, never from the current folder. A system that predates these
// flags refuses them as a parameter: there the search starts in the
// plug-in's folder, with the current folder taken out by SetDllDirectory.
HMODULE Plugin_Load(const wchar_t* file, const PluginReport* report) {
    Plugin_Begin(report, PluginStep::Load);
    HMODULE module = LoadLibraryExW(
        file, nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
        module = LoadLibraryExW(file, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    // Why it did not load, for the run to tell.
    int32_t error = module == nullptr ? static_cast<int32_t>(GetLastError()) : 0;
    Plugin_ReturnSized(report, PluginStep::Load, module != nullptr ? 1 : 0, error, 0, 0);
    return module;
}

void Plugin_Free(HMODULE module, const PluginReport* report) {
    Plugin_Begin(report, PluginStep::Free);
    // A plug-in that cannot be freed stays where it is until the worker ends.
    (void)FreeLibrary(module);
    Plugin_Return(report, PluginStep::Free, 1);
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

PluginCall Plugin_GetVersion(HMODULE module, const PluginReport* report, char* version,
                             int length) {
    auto entry = reinterpret_cast<GetPluginInfoProc>(Spi_Entry(module, "GetPluginInfo"));
    if (entry == nullptr) {
        return PluginCall::Missing;
    }
    Plugin_Begin(report, PluginStep::Version);
    // The result is not read: the text in the buffer decides.
    (void)entry(0, version, length);
    version[length] = '\0';
    // The text's first bytes go with its kind, for the run to tell.
    int32_t text[3];
    memcpy(text, version, sizeof text);
    Plugin_ReturnSized(report, PluginStep::Version, Plugin_Kind(version), text[0], text[1],
                       static_cast<uint32_t>(text[2]));
    return PluginCall::Returned;
}

// The entry point for the file: the wide twin with the UTF-16 path, else
// the ANSI one with the ANSI path. A wide twin takes its path in the same
// argument as its ANSI entry point and is otherwise the same, so both are
// called through the ANSI type, the path passed on unchanged. Null when
// the plug-in has neither; *path is null when it has only the ANSI one and
// the code page cannot spell the path.
static void* Plugin_Choose(HMODULE module, const PluginInput* input, const char* name,
                           const char* wideName, LPCSTR* path) {
    void* entry = Spi_Entry(module, wideName);
    *path = reinterpret_cast<LPCSTR>(input->path);
    if (entry == nullptr) {
        entry = Spi_Entry(module, name);
        *path = input->hasAnsiPath ? input->ansiPath : nullptr;
    }
    return entry;
}

PluginCall Plugin_IsSupported(HMODULE module, const PluginReport* report, const PluginInput* input,
                              const char* head, PluginStep step, int* accepted) {
    LPCSTR path;
    auto entry = reinterpret_cast<IsSupportedProc>(
        Plugin_Choose(module, input, "IsSupported", "IsSupportedW", &path));
    *accepted = 0;
    if (entry == nullptr) {
        return PluginCall::Missing;
    }
    if (path == nullptr) {
        return PluginCall::NotCalled;
    }
    Plugin_Begin(report, step);
    *accepted = entry(path, const_cast<char*>(head)) != 0;
    Plugin_Return(report, step, *accepted);
    return PluginCall::Returned;
}

// A plug-in reporting progress is told to go on; the run judges a long
// decode by its worker's processor time.
static int WINAPI Plugin_Progress(int, int, SpiWord) {
    return 0;
}

PluginCall Plugin_GetPicture(HMODULE module, const PluginReport* report, const PluginInput* input,
                             SpiWord offset, HLOCAL* header, HLOCAL* pixels, int* result) {
    LPCSTR path;
    auto entry = reinterpret_cast<GetPictureProc>(
        Plugin_Choose(module, input, "GetPicture", "GetPictureW", &path));
    *result = SPI_READ_ERROR;
    if (entry == nullptr) {
        return PluginCall::Missing;
    }
    if (path == nullptr) {
        return PluginCall::NotCalled;
    }
    Plugin_Begin(report, PluginStep::Decode);
    *result = entry(path, offset, 0, header, pixels, Plugin_Progress, 0);
    return PluginCall::Returned;
}

PluginCall Plugin_GetArchiveInfo(HMODULE module, const PluginReport* report,
                                 const PluginInput* input, SpiWord offset, HLOCAL* entries,
                                 int* wideRecords, int* result) {
    LPCSTR path;
    auto entry = reinterpret_cast<GetArchiveInfoProc>(
        Plugin_Choose(module, input, "GetArchiveInfo", "GetArchiveInfoW", &path));
    *result = SPI_READ_ERROR;
    *wideRecords = path == reinterpret_cast<LPCSTR>(input->path);
    if (entry != nullptr && path == nullptr) {
        return PluginCall::NotCalled;
    }
    // A plug-in without the entry point still gets a listing, of no
    // entries: the step begins all the same.
    Plugin_Begin(report, PluginStep::List);
    if (entry == nullptr) {
        return PluginCall::Missing;
    }
    *result = entry(path, offset, 0, entries);
    return PluginCall::Returned;
}
