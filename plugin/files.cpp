// The run's list of plug-in files: each folder's matches of each pattern,
// sorted by name, so that the same folder is asked in the same order
// whatever order its file system lists it in.
#include "plugin/registry.h"

#include <stdlib.h>

// The plug-in files, in the order each folder's are asked. Published
// 64-bit plug-ins are named *.sph, but a file's width is what its header
// says: both programs list both patterns.
static const wchar_t* const PLUGIN_PATTERNS[] = {L"*.spi", L"*.sph"};

int Plugin_Join(wchar_t* out, const wchar_t* a, const wchar_t* b, const wchar_t* c) {
    int la = lstrlenW(a);
    int lb = lstrlenW(b);
    int lc = lstrlenW(c);
    if (la + lb + lc >= PLUGIN_PATH_SIZE) {
        return 0;
    }
    lstrcpynW(out, a, la + 1);
    lstrcpynW(out + la, b, lb + 1);
    lstrcpynW(out + la + lb, c, lc + 1);
    return 1;
}

// A record for one more file; null when the list is full.
static PluginFileEntry* Plugin_AddFile(PluginRegistry* registry) {
    if (registry->count >= static_cast<uint32_t>(PLUGIN_FILES_MAX)) {
        return nullptr;
    }
    PluginFileEntry* file = &registry->files[registry->count++];
    file->failed = 0;
    return file;
}

// The file name within a full path.
static const wchar_t* Plugin_NameOf(const PluginFileEntry* file) {
    const wchar_t* name = file->path;
    for (const wchar_t* p = file->path; *p != L'\0'; ++p) {
        if (*p == L'\\') {
            name = p + 1;
        }
    }
    return name;
}

static int __cdecl Plugin_CompareFiles(const void* a, const void* b) {
    return Plugin_CompareNames(Plugin_NameOf(static_cast<const PluginFileEntry*>(a)),
                               Plugin_NameOf(static_cast<const PluginFileEntry*>(b)));
}

// Adds the files of one folder that match one pattern, sorted by name.
// Folders, empty files and files of 4 GiB or more are no plug-ins, and
// neither is a file whose own name does not end in the pattern's
// extension: "x.spi_off" or "x.spi.bak", a plug-in switched off by
// renaming, matches "*.spi" through its short name.
static void Plugin_AddMatches(PluginRegistry* registry, const wchar_t* dirText,
                              const wchar_t* pattern) {
    wchar_t search[PLUGIN_PATH_SIZE];
    if (!Plugin_Join(search, dirText, pattern, L"")) {
        return;
    }
    WIN32_FIND_DATAW found;
    HANDLE listing = FindFirstFileW(search, &found);
    if (listing == INVALID_HANDLE_VALUE) {
        return;
    }
    uint32_t first = registry->count;
    do {
        wchar_t path[PLUGIN_PATH_SIZE];
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && found.nFileSizeHigh == 0 &&
            found.nFileSizeLow != 0 && Plugin_HasExtension(found.cFileName, pattern + 1) &&
            Plugin_Join(path, dirText, found.cFileName, L"")) {
            PluginFileEntry* file = Plugin_AddFile(registry);
            if (file == nullptr) {
                break;
            }
            lstrcpynW(file->path, path, PLUGIN_PATH_SIZE);
        }
    } while (FindNextFileW(listing, &found));
    FindClose(listing);
    qsort(registry->files + first, registry->count - first, sizeof(PluginFileEntry),
          Plugin_CompareFiles);
}

int Plugin_InFolder(wchar_t* out, const wchar_t* dir, const wchar_t* name) {
    int length = lstrlenW(dir);
    const wchar_t* separator = length > 0 && dir[length - 1] == L'\\' ? L"" : L"\\";
    return Plugin_IsFullPath(dir) && Plugin_Join(out, dir, separator, name);
}

static void Plugin_AddFolder(PluginRegistry* registry, const wchar_t* dir) {
    wchar_t dirText[PLUGIN_PATH_SIZE];
    if (!Plugin_InFolder(dirText, dir, L"")) {
        return;
    }
    for (const wchar_t* pattern : PLUGIN_PATTERNS) {
        Plugin_AddMatches(registry, dirText, pattern);
    }
}

int Plugin_ListFiles(PluginRegistry* registry, PluginFolders* folders) {
    registry->count = 0;
    Plugin_AddFolder(registry, folders->programDir);
    folders->programFiles = registry->count;
    DWORD attributes = GetFileAttributesW(folders->registeredDir);
    folders->registeredMissing =
        folders->registeredDir[0] != L'\0' &&
        (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY));
    // The program's folder registered as the plug-in folder: each plug-in once.
    folders->registeredIsProgram = folders->registeredDir[0] != L'\0' &&
                                   Plugin_IsOneFolder(folders->registeredDir, folders->programDir);
    if (!folders->registeredIsProgram) {
        Plugin_AddFolder(registry, folders->registeredDir);
    }
    folders->registeredFiles = registry->count - folders->programFiles;
    return static_cast<int>(registry->count);
}
