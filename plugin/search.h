// The search for the plug-in that takes a file: finds the plug-in files
// (*.spi, and on x64 also the 64-bit *.sph) in the program's folder and the
// registered plug-in folder, and asks them about the file one at a time, in
// a fixed order: each is loaded, its version checked and its support test
// asked, and it is freed again unless it accepts. A plug-in that accepts
// and then fails is freed and the search goes on with the next; one that
// faults or is lost is never asked again. One process-wide record,
// g_search.
#pragma once

#include "plugin/spi.h"

constexpr int PLUGIN_PATH_SIZE = 260;
constexpr int HEAD_SKIP = 128;

enum PluginKind { PLUGIN_KIND_NONE = 0, PLUGIN_KIND_IMAGE = 1, PLUGIN_KIND_ARCHIVE = 2 };

// How a call into a plug-in went: it returned, the plug-in lacks the entry
// point, or it faulted. A plug-in with only the ANSI entry point for a path
// the code page cannot spell is not called: that call "returned" with the
// result of a failed read.
enum class PluginCall { Returned, Missing, Faulted };

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

// What a plug-in file's header says: not read yet, this program's width,
// the other width (never loaded here), or no known width (skipped).
enum class PluginWidth { Unread, Own, Other, None };

// One plug-in file of the run, by full path.
struct PluginFile {
    wchar_t path[PLUGIN_PATH_SIZE];
    PluginWidth width;
    int faulted; // it faulted or was lost in this run: it stays loaded and is not asked again
    int acceptsFurtherOn; // it declined the head but accepted it HEAD_SKIP bytes on
};

struct PluginSearch {
    wchar_t registeredDir[PLUGIN_PATH_SIZE];
    wchar_t programDir[PLUGIN_PATH_SIZE];
    PluginFile* files; // fixed local block of `capacity` records, `count` in use, or null
    int count;
    int capacity;
    int otherWidth; // files of the other width among those whose width was read
    // The search: the file as UTF-16, as ANSI (null when the code page
    // cannot spell it even by its short path), and its head block.
    const wchar_t* path;
    const char* ansiPath;
    const char* head;
    int pass; // 0: the head; 1: the head HEAD_SKIP bytes on
    int next; // the next file to ask
    // The plug-in asked last: loaded while it is asked or after it
    // accepted, with its kind; module is null between.
    HMODULE module;
    int current;
    PluginKind kind;
    int inLoader;   // a plug-in is being loaded or freed
    int loaderHeld; // one was lost there: nothing can be loaded or freed any more
    int leftLoaded; // a plug-in faulted or was lost: its code may still run
};

extern PluginSearch g_search;

// Reads the registered folder from the per-user registry (as UTF-16) and
// works out the program's own folder. 1 when a registered folder was read.
int Plugin_Init();
// Lists the plug-in files in the program's folder and then in the
// registered one (once, when they are the same folder), each folder's
// *.spi before its *.sph, and within that by name. Returns their number.
int Plugin_ListFiles();
// Starts a search over the listed files for the file at `path` whose first
// bytes are in `head` (FILE_HEAD_SIZE + 1 bytes). Nothing is copied.
void Plugin_StartSearch(const wchar_t* path, const char* ansiPath, const char* head);
// Frees the plug-in that accepted last (unless it faulted) and asks the
// next ones until one accepts: 1 with g_search.module and kind set, 0 when
// no plug-in is left in either pass.
int Plugin_Next();
// The offset the accepting plug-in reads the file from: 0, or HEAD_SKIP in
// the second pass.
SpiWord Plugin_Offset();
// Frees the plug-in that accepted last and the file list; safe to call again.
void Plugin_Release();
// The call in progress into the plug-in asked last was lost (its thread
// died in it, or it went silent): the plug-in is left where it is and not
// asked again.
void Plugin_Lost();
// 0 once a plug-in was lost while it was being loaded or freed.
int Plugin_LoaderFree();
// 1 when a plug-in faulted or was lost in this run: its code may still run,
// and nothing of it is to be called again, not even on the way out.
int Plugin_AnyLeft();

// Loads a plug-in file and frees a loaded plug-in, each as a guarded call:
// the plug-in's DllMain runs. Null when the file does not load.
HMODULE Plugin_LoadFile(const wchar_t* path);
void Plugin_FreeModule(HMODULE module);
// The loaded plug-in's GetPluginInfo(0): its version text, at most
// `length` bytes of it.
PluginCall Plugin_GetVersion(char* version, int length);
// The loaded plug-in's support test of a head block: IsSupportedW with the
// UTF-16 path where it has it, else IsSupported with the ANSI path.
PluginCall Plugin_IsSupported(const char* head, int* accepted);
// The accepting plug-in's GetPicture (or GetPictureW) and GetArchiveInfo
// (or GetArchiveInfoW) for the searched file, from Plugin_Offset(). The
// plug-in's own result goes to *result; *wideRecords says whether the
// entries are ArchiveEntryInfoW. A plug-in that faults is marked.
PluginCall Plugin_GetPicture(HLOCAL* header, HLOCAL* pixels, int* result);
PluginCall Plugin_GetArchiveInfo(HLOCAL* entries, int* wideRecords, int* result);

// The kind a version text declares: exactly "00IN" or "00AM".
PluginKind Plugin_Kind(const char* version);
// The width of listed file `index`, read from its header the first time;
// a file of the other width is counted in otherWidth.
PluginWidth Plugin_Width(int index);
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
