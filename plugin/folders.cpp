// The two folders plug-ins come from: the program's own and the one
// registered for the current user. Both are read as UTF-16, so that a
// folder named in any script works; a text that does not fit its
// 260-character buffer names no folder rather than a cut one.
#include "plugin/registry.h"

static const wchar_t REGISTRY_KEY[] = L"Software\\Morvenko\\Susie\\Plug-in";
static const wchar_t REGISTRY_VALUE[] = L"Path";
constexpr DWORD PLUGIN_DIR_LIMIT = PLUGIN_PATH_SIZE - 1;

// Only a full path names a folder: "X:\..." or "\\server\share...". An
// empty or relative text would name the current folder, which for a file
// sent to the program is the folder the file is in.
int Plugin_IsFullPath(const wchar_t* dir) {
    wchar_t drive = dir[0] | 0x20;
    if (drive >= L'a' && drive <= L'z' && dir[1] == L':' && dir[2] == L'\\') {
        return 1;
    }
    if (dir[0] != L'\\' || dir[1] != L'\\' || dir[2] == L'\0' || dir[2] == L'\\') {
        return 0;
    }
    const wchar_t* p = dir + 2;
    while (*p != L'\0' && *p != L'\\') {
        ++p;
    }
    return *p == L'\\' && p[1] != L'\0' && p[1] != L'\\';
}

// The registered folder, or an empty text when there is none that fits.
static void Plugin_ReadRegistered(wchar_t* dir) {
    dir[0] = L'\0';
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, REGISTRY_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return;
    }
    DWORD size = PLUGIN_DIR_LIMIT * sizeof(wchar_t);
    LONG read = RegQueryValueExW(key, REGISTRY_VALUE, nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(dir), &size);
    RegCloseKey(key);
    // A value stored without its terminator still ends inside the buffer.
    dir[read == ERROR_SUCCESS ? size / sizeof(wchar_t) : 0] = L'\0';
}

// The program's folder: its path cut at the last backslash. A path that
// does not fit would, cut to fit, name an ancestor folder: it names none.
static void Plugin_ReadProgramFolder(wchar_t* dir) {
    DWORD length = GetModuleFileNameW(nullptr, dir, PLUGIN_DIR_LIMIT);
    if (length == 0 || length >= PLUGIN_DIR_LIMIT) {
        dir[0] = L'\0';
        return;
    }
    dir[length] = L'\0';
    wchar_t* last = dir;
    for (wchar_t* p = dir; *p != L'\0'; ++p) {
        if (*p == L'\\') {
            last = p;
        }
    }
    // A program at the root of a drive (a stick, a mapped share) keeps the
    // backslash: "R:" alone names the drive's current folder, not its root.
    if (last == dir + 2 && dir[1] == L':') {
        ++last;
    }
    *last = L'\0';
}

// The volume and file identity of a folder; 0 when it cannot be opened.
static int Plugin_FolderIdentity(const wchar_t* dir, BY_HANDLE_FILE_INFORMATION* info) {
    if (!Plugin_IsFullPath(dir)) {
        return 0;
    }
    HANDLE folder = CreateFileW(dir, FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        return 0;
    }
    int known = GetFileInformationByHandle(folder, info) &&
                (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    CloseHandle(folder);
    return known;
}

int Plugin_IsOneFolder(const wchar_t* a, const wchar_t* b) {
    BY_HANDLE_FILE_INFORMATION x;
    BY_HANDLE_FILE_INFORMATION y;
    if (Plugin_FolderIdentity(a, &x) && Plugin_FolderIdentity(b, &y)) {
        return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
               x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
    }
    return Plugin_SameFolder(a, b);
}

int Plugin_Init(PluginFolders* folders) {
    Plugin_ReadRegistered(folders->registeredDir);
    Plugin_ReadProgramFolder(folders->programDir);
    return folders->registeredDir[0] != L'\0';
}
