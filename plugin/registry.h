// The search's record, PluginRegistry: what the run works out before any
// plug-in code runs (the file, its head, the plug-in files in the order
// they are asked) and what the worker that asks them reports back. It lives
// in a block of memory shared by the run and its workers of both widths, so
// its layout is the same on x86 and x64: fixed-size fields only.
//
// One writer per field: the run writes everything before `report`, and
// writes it again from its own copy before each worker starts (a worker is
// trusted with nothing); the worker writes `report` and `answers`.
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

// What a worker is doing: between calls, in a call into a plug-in, or
// placing what a plug-in handed back (the clipboard, the failure box).
enum class PluginStep : uint32_t {
    Between = 0,
    Load = 1,
    Version = 2,
    Support = 3,
    SupportFurtherOn = 4,
    Decode = 5,
    List = 6,
    Place = 7,
    Free = 8,
    Last = Free,
};

// How a worker's search ended. Decoded: a picture was decoded, whatever
// became of its placing; Listed: a listing was placed; NotListed: the
// clipboard refused it; NothingTaken: no plug-in of its width took the file.
enum class WorkerOutcome : uint32_t {
    None = 0,
    Decoded = 1,
    Listed = 2,
    NotListed = 3,
    NothingTaken = 4,
};

// One plug-in file, by full path; `failed`: a worker died or was given up
// in a call into it, and it is not asked again.
struct PluginFileEntry {
    wchar_t path[PLUGIN_PATH_SIZE];
    uint32_t failed;
};

// What a worker found of a file: the machine its header names (0 unread or
// none) and whether it accepts the head HEAD_SKIP bytes on.
struct PluginFileAnswer {
    uint16_t machine;
    uint8_t furtherOn;
    uint8_t reserved;
};

// The worker's report. Before each call into a plug-in it writes the file,
// the pass, the step and when it began, then counts the call in `serial`;
// the run reads `serial` first and last to see one call's fields together.
struct WorkerReport {
    volatile uint32_t faultThread; // the thread whose fault ended the worker, or 0
    volatile uint32_t serial;      // calls begun
    volatile uint32_t file;
    volatile uint32_t pass;
    volatile uint32_t step;    // a PluginStep
    volatile uint32_t started; // GetTickCount() when the step began
    volatile uint32_t heard;   // progress reports in the step
    volatile uint32_t outcome; // a WorkerOutcome
    volatile uint32_t taker;   // the file that took it, with Decoded, Listed or NotListed
};

struct PluginRegistry {
    // Written by the run.
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
    // Written by the worker.
    WorkerReport report;
    PluginFileAnswer answers[PLUGIN_FILES_MAX];
};

static_assert(sizeof(wchar_t) == 2, "UTF-16 units");
static_assert(sizeof(PluginFileEntry) == 524, "file entry");
static_assert(sizeof(PluginFileAnswer) == 4, "file answer");
static_assert(sizeof(WorkerReport) == 36, "worker report");
static_assert(offsetof(PluginRegistry, path) == 24, "path");
static_assert(offsetof(PluginRegistry, ansiPath) == 24 + 65536, "ANSI path");
static_assert(offsetof(PluginRegistry, head) == 24 + 65536 + 65536, "head");
static_assert(offsetof(PluginRegistry, files) == 134172, "files");
static_assert(offsetof(PluginRegistry, report) == 134172 + 524 * PLUGIN_FILES_MAX, "report");
static_assert(offsetof(PluginRegistry, answers) == 670748 + 36, "answers");
static_assert(sizeof(PluginRegistry) == 670784 + 4 * PLUGIN_FILES_MAX, "registry");

// The two folders plug-ins come from; the run's own, never shared.
struct PluginFolders {
    wchar_t registeredDir[PLUGIN_PATH_SIZE];
    wchar_t programDir[PLUGIN_PATH_SIZE];
};

// Reads the registered folder from the per-user registry (as UTF-16) and
// works out the program's own folder. 1 when a registered folder was read.
int Plugin_Init(PluginFolders* folders);
// Lists the plug-in files in the program's folder and then in the
// registered one (once, when they are the same folder), each folder's
// *.spi before its *.sph, and within that by name, into registry->files.
// Returns their number.
int Plugin_ListFiles(PluginRegistry* registry, const PluginFolders* folders);

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
