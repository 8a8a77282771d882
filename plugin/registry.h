// The search's record, PluginRegistry: what the run works out before any
// plug-in code runs (the file, its head, the plug-in files in the order
// they are asked) and what it has learnt of each file from its workers'
// events (plugin/events.h): its width, whether it failed, and its answer
// about the bytes HEAD_SKIP on. The run alone writes it, in a block of
// memory it shares with its workers of both widths read-only, so its
// layout is the same on x86 and x64: fixed-size fields only.
#pragma once

#include <windows.h>
#include <stddef.h>
#include <stdint.h>

constexpr int PLUGIN_PATH_SIZE = 260;
constexpr int HEAD_SKIP = 128;
// Bytes of the target file read for the support test.
constexpr DWORD FILE_HEAD_SIZE = 3072;
// The most plug-in files one run asks; a folder with more is cut there.
constexpr int PLUGIN_FILES_MAX = 1024;
// The longest path Windows names a file by, and its ANSI spelling.
constexpr int REGISTRY_PATH_UNITS = 32768;
constexpr int REGISTRY_ANSI_BYTES = 2 * REGISTRY_PATH_UNITS;
constexpr uint32_t REGISTRY_MAGIC = 0x31525851; // "QXR1"

enum PluginKind { PLUGIN_KIND_NONE = 0, PLUGIN_KIND_IMAGE = 1, PLUGIN_KIND_ARCHIVE = 2 };

// The machines a PE header names: this program's width, and the other.
constexpr WORD MACHINE_X86 = 0x014C;
constexpr WORD MACHINE_X64 = 0x8664;
#ifdef _WIN64
constexpr WORD PLUGIN_OWN_MACHINE = MACHINE_X64;
constexpr WORD PLUGIN_OTHER_MACHINE = MACHINE_X86;
#else
constexpr WORD PLUGIN_OWN_MACHINE = MACHINE_X86;
constexpr WORD PLUGIN_OTHER_MACHINE = MACHINE_X64;
#endif

// One plug-in file, by full path, and what the run learnt of it: the
// machine its header names (0 unread or none); `failed`, a worker died or
// was given up in a call into it, and it is not asked again; `furtherOn`,
// it accepted the head HEAD_SKIP bytes on.
struct PluginFileEntry {
    wchar_t path[PLUGIN_PATH_SIZE];
    uint16_t machine;
    uint8_t failed;
    uint8_t furtherOn;
};

struct PluginRegistry {
    uint32_t magic;
    uint32_t size;
    uint32_t count;     // files listed
    uint32_t startPass; // where a worker begins: 0 the head, 1 the head HEAD_SKIP on
    uint32_t startFile;
    uint32_t hasAnsiPath; // 0 when the code page spells the path not even by its short path
    wchar_t path[REGISTRY_PATH_UNITS];
    char ansiPath[REGISTRY_ANSI_BYTES];
    char head[FILE_HEAD_SIZE + 4]; // the file's first bytes, zero past its end
    PluginFileEntry files[PLUGIN_FILES_MAX];
};

static_assert(sizeof(wchar_t) == 2, "UTF-16 units");
static_assert(sizeof(PluginFileEntry) == 524, "file entry");
static_assert(offsetof(PluginFileEntry, machine) == 520, "file entry's machine");
static_assert(offsetof(PluginRegistry, path) == 24, "path");
static_assert(offsetof(PluginRegistry, ansiPath) == 24 + 65536, "ANSI path");
static_assert(offsetof(PluginRegistry, head) == 24 + 65536 + 65536, "head");
static_assert(offsetof(PluginRegistry, files) == 134172, "files");
static_assert(sizeof(PluginRegistry) == 134172 + 524 * PLUGIN_FILES_MAX, "registry");

// The two folders plug-ins come from; the run's own, never shared.
struct PluginFolders {
    wchar_t registeredDir[PLUGIN_PATH_SIZE];
    wchar_t programDir[PLUGIN_PATH_SIZE];
    // What the listing found: the files each folder gave, and whether the
    // registered folder is missing or is the program's own.
    uint32_t programFiles;
    uint32_t registeredFiles;
    uint32_t registeredMissing;
    uint32_t registeredIsProgram;
};

// Reads the registered folder from the per-user registry (as UTF-16) and
// works out the program's own folder. 1 when a registered folder was read.
int Plugin_Init(PluginFolders* folders);
// Lists the plug-in files in the program's folder and then in the
// registered one (once, when they are the same folder), each folder's
// *.spi before its *.sph, and within that by name, into registry->files.
// Returns their number, and notes in `folders` what each folder gave.
int Plugin_ListFiles(PluginRegistry* registry, PluginFolders* folders);

// The machine a file's PE header names (MACHINE_X86, MACHINE_X64, ...);
// 0 when it is no PE file or cannot be read.
WORD Plugin_FileMachine(const wchar_t* path);
// Joins a, b and c into out; 0 when the result does not fit the
// 260-character buffer, so that a long text is skipped rather than cut into
// another path.
int Plugin_Join(wchar_t* out, const wchar_t* a, const wchar_t* b, const wchar_t* c);
// `name` in the folder `dir` (a full path, with or without its closing
// backslash), as Plugin_Join makes it; 0 when `dir` is no full path or the
// result does not fit.
int Plugin_InFolder(wchar_t* out, const wchar_t* dir, const wchar_t* name);
// Whether a text names a folder by full path: "X:\..." or "\\server\share...".
int Plugin_IsFullPath(const wchar_t* dir);
// Whether two folder texts name the same folder: equal but for case and
// trailing backslashes.
int Plugin_SameFolder(const wchar_t* a, const wchar_t* b);
// Whether two folders are one, however each is spelled ("\.", "..", a short
// name, another case, a mapped drive): by what the file system says of
// each, or where one cannot be opened, by Plugin_SameFolder.
int Plugin_IsOneFolder(const wchar_t* a, const wchar_t* b);
// Whether a file name ends in `extension` (".spi"), compared without case.
int Plugin_HasExtension(const wchar_t* name, const wchar_t* extension);
// The order of plug-in file names: ordinal without regard to case, as NTFS
// lists a folder, and by case where that is all that differs. <0, 0 or >0.
int Plugin_CompareNames(const wchar_t* a, const wchar_t* b);
