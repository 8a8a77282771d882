// Calls into a loaded plug-in, each reported to the run as it begins and as
// it returns. They take what they need: the module, the input they hand
// the plug-in and where to report; which file and pass that is, is the
// search's business. Where the plug-in exports a wide-character twin, that
// twin is called with the file's exact UTF-16 path; otherwise the ANSI
// entry point gets the ANSI path, and a plug-in that needs one for a file
// the code page cannot spell is not called.
#pragma once

#include "plugin/registry.h"
#include "plugin/report.h"
#include "plugin/spi.h"

// How a call into a plug-in went: it returned, the plug-in lacks the entry
// point, or it has only the ANSI entry point for a path the code page
// cannot spell and was not called, which counts as a failed read.
enum class PluginCall { Returned, Missing, NotCalled };

// What a worker hands its plug-ins: the file's head and its paths, copied
// into one block at an address below 4 GB whose low 32 bits are 0x10000 or
// more, so that a plug-in that keeps addresses in 32 bits, or tells a
// handle from a block by the address's high bits, reads them right.
struct PluginInput {
    char head[FILE_HEAD_SIZE + 4];
    wchar_t path[REGISTRY_PATH_UNITS];
    char ansiPath[REGISTRY_ANSI_BYTES];
    int hasAnsiPath;
};

// Loads a plug-in file and frees a loaded plug-in: the plug-in's DllMain
// runs. Null when the file does not load.
HMODULE Plugin_Load(const wchar_t* file, const PluginReport* report);
void Plugin_Free(HMODULE module, const PluginReport* report);
// The plug-in's GetPluginInfo(0): its version text, at most `length` bytes
// of it, in `version`; the kind it declares is reported.
PluginCall Plugin_GetVersion(HMODULE module, const PluginReport* report, char* version, int length);
// The support test of a head block (the head, or the head HEAD_SKIP on, as
// `step` says): IsSupportedW with the UTF-16 path where it has it, else
// IsSupported with the ANSI path.
PluginCall Plugin_IsSupported(HMODULE module, const PluginReport* report, const PluginInput* input,
                              const char* head, PluginStep step, int* accepted);
// GetPicture (or GetPictureW) and GetArchiveInfo (or GetArchiveInfoW) for
// the file, from `offset`. The plug-in's own result goes to *result;
// *wideRecords says whether the entries are ArchiveEntryInfoW. Their
// returns are reported by the caller, which alone knows whether the
// picture is whole.
PluginCall Plugin_GetPicture(HMODULE module, const PluginReport* report, const PluginInput* input,
                             SpiWord offset, HLOCAL* header, HLOCAL* pixels, int* result);
PluginCall Plugin_GetArchiveInfo(HMODULE module, const PluginReport* report,
                                 const PluginInput* input, SpiWord offset, HLOCAL* entries,
                                 int* wideRecords, int* result);

// The kind a version text declares: exactly "00IN" or "00AM".
PluginKind Plugin_Kind(const char* version);
