// The worker's side of the search: the listed plug-ins of this program's
// width are loaded one at a time, in order, asked about the file and freed
// again unless one accepts. Every call into a plug-in is reported in the
// registry's worker report before it is made, so that the run, watching
// from its own process, knows whom to blame when the worker dies or goes
// silent. The worker is one thread; nothing here guards against a fault.
#pragma once

#include "plugin/registry.h"
#include "plugin/spi.h"

// How a call into a plug-in went: it returned, or the plug-in lacks the
// entry point. A plug-in with only the ANSI entry point for a path the code
// page cannot spell is not called: that call "returned" with the result of
// a failed read.
enum class PluginCall { Returned, Missing };

// One worker's search, its own: which file and pass it is at, and the
// plug-in it asked last, loaded while it is asked or after it accepted
// (module null between).
struct PluginSearch {
    PluginRegistry* registry;
    const char* ansiPath; // null when the code page cannot spell the path
    int pass;             // 0: the head; 1: the head HEAD_SKIP bytes on
    int next;             // the next file to ask
    int current;
    HMODULE module;
    PluginKind kind;
};

// Starts a worker's search where the run's record says.
void Plugin_StartSearch(PluginSearch* search, PluginRegistry* registry);
// Frees the plug-in that accepted last and asks the next ones until one
// accepts: 1 with search->module and kind set, 0 when no plug-in is left in
// either pass. Plug-in files of the other width are never loaded.
int Plugin_Find(PluginSearch* search);
// The offset the accepting plug-in reads the file from: 0, or HEAD_SKIP in
// the second pass.
SpiWord Plugin_Offset(const PluginSearch* search);
// Frees the plug-in that accepted last; safe to call again.
void Plugin_Release(PluginSearch* search);

// Reports the step the worker takes next about the current file; every
// call into a plug-in is one, and the worker's last chance is set again
// first.
void Plugin_Report(const PluginSearch* search, PluginStep step);
// Ends the worker at once when its process heap is broken.
void Plugin_EndIfHeapBroken();
// Makes a fault on any thread end the worker at once, with the exception's
// code, after noting the thread in `report`.
void Plugin_EndOnFault(WorkerReport* report);

// Loads a plug-in file and frees a loaded plug-in: the plug-in's DllMain
// runs. Null when the file does not load.
HMODULE Plugin_Load(PluginSearch* search, int index);
void Plugin_Free(PluginSearch* search);
// The loaded plug-in's GetPluginInfo(0): its version text, at most
// `length` bytes of it.
PluginCall Plugin_GetVersion(PluginSearch* search, char* version, int length);
// The loaded plug-in's support test of a head block: IsSupportedW with the
// UTF-16 path where it has it, else IsSupported with the ANSI path.
PluginCall Plugin_IsSupported(PluginSearch* search, const char* head, PluginStep step,
                              int* accepted);
// The accepting plug-in's GetPicture (or GetPictureW) and GetArchiveInfo
// (or GetArchiveInfoW) for the searched file, from Plugin_Offset(). The
// plug-in's own result goes to *result; *wideRecords says whether the
// entries are ArchiveEntryInfoW.
PluginCall Plugin_GetPicture(PluginSearch* search, HLOCAL* header, HLOCAL* pixels, int* result);
PluginCall Plugin_GetArchiveInfo(PluginSearch* search, HLOCAL* entries, int* wideRecords,
                                 int* result);

// The kind a version text declares: exactly "00IN" or "00AM".
PluginKind Plugin_Kind(const char* version);
