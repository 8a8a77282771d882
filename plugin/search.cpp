// The worker's search for the plug-in that takes a file: the listed plug-ins
// are loaded one at a time, in order, and each is freed again unless it
// accepts. A plug-in declares its kind by its version text, exactly "00IN"
// or "00AM"; any other text is no plug-in of ours. Every plug-in sees the
// file's head before any takes the file HEAD_SKIP bytes on; each is asked
// about both while it is loaded the one time, and its answer about the
// bytes further on is reported, so that the run keeps it for when none took
// the head. A worker that follows one that died goes on where the run's
// record says, with what the run learnt of each file.
#include "plugin/search.h"

#include <string.h>

void Plugin_StartSearch(PluginSearch* search, const PluginRegistry* registry,
                        const PluginInput* input, HANDLE events) {
    search->registry = registry;
    search->input = input;
    search->report.events = events;
    search->report.file = 0;
    search->pass = registry->startPass == 1 ? 1 : 0;
    search->report.pass = static_cast<uint32_t>(search->pass);
    search->next = static_cast<int>(registry->startFile);
    search->module = nullptr;
    search->kind = PLUGIN_KIND_NONE;
    for (int i = 0; i < PLUGIN_FILES_MAX; ++i) {
        search->machine[i] = registry->files[i].machine;
        search->furtherOn[i] = registry->files[i].furtherOn;
    }
}

// The version buffer: what the plug-in is told it may write, and room past
// that for a plug-in that copies its text with no regard to the length.
constexpr int VERSION_TOLD = 255;
constexpr int VERSION_BUFFER = 1024;

// Asks the loaded plug-in about the head HEAD_SKIP bytes on and keeps the
// answer for the second pass.
static void Plugin_AskFurtherOn(PluginSearch* search) {
    int accepted = 0;
    PluginCall call = Plugin_IsSupported(search->module, &search->report, search->input,
                                         search->input->head + HEAD_SKIP,
                                         PluginStep::SupportFurtherOn, &accepted);
    search->furtherOn[search->report.file] = call == PluginCall::Returned && accepted;
}

// Loads file `index`, when it is of this program's width (in the first
// pass its header is read and reported), and checks its version. In the
// first pass it asks the plug-in about the head, and when it declines,
// about the bytes further on; in the second it takes the kept answer. 1
// when it accepts, and it then stays loaded.
static int Plugin_Ask(PluginSearch* search, int index) {
    search->report.file = static_cast<uint32_t>(index);
    search->report.pass = static_cast<uint32_t>(search->pass);
    search->module = nullptr;
    if (search->pass == 0) {
        search->machine[index] = Plugin_FileMachine(search->registry->files[index].path);
        Plugin_Width(&search->report, search->machine[index]);
    }
    if (search->machine[index] != PLUGIN_OWN_MACHINE) {
        return 0;
    }
    search->module = Plugin_Load(search->registry->files[index].path, &search->report);
    if (search->module == nullptr) {
        return 0;
    }
    char version[VERSION_BUFFER] = {};
    PluginCall call = Plugin_GetVersion(search->module, &search->report, version, VERSION_TOLD);
    search->kind = call == PluginCall::Returned ? Plugin_Kind(version) : PLUGIN_KIND_NONE;
    int accepted = search->pass == 1;
    if (search->kind != PLUGIN_KIND_NONE && !accepted) {
        call = Plugin_IsSupported(search->module, &search->report, search->input,
                                  search->input->head, PluginStep::Support, &accepted);
        if (call != PluginCall::Missing && !accepted) {
            Plugin_AskFurtherOn(search);
        }
    }
    if (call != PluginCall::Missing && search->kind != PLUGIN_KIND_NONE && accepted) {
        return 1;
    }
    Plugin_Release(search);
    return 0;
}

int Plugin_Find(PluginSearch* search) {
    // A plug-in that took the head and then could not decode or list the
    // file is asked about the bytes further on before it is freed.
    if (search->module != nullptr && search->pass == 0) {
        Plugin_AskFurtherOn(search);
    }
    Plugin_Release(search);
    const PluginRegistry* registry = search->registry;
    int count = static_cast<int>(registry->count);
    if (count > PLUGIN_FILES_MAX) {
        count = PLUGIN_FILES_MAX;
    }
    for (;;) {
        while (search->next < count) {
            int index = search->next++;
            if (!registry->files[index].failed && (search->pass == 0 || search->furtherOn[index]) &&
                Plugin_Ask(search, index)) {
                return 1;
            }
        }
        if (search->pass == 1) {
            return 0;
        }
        search->pass = 1;
        search->next = 0;
    }
}

SpiWord Plugin_Offset(const PluginSearch* search) {
    return search->pass == 1 ? HEAD_SKIP : 0;
}

void Plugin_Release(PluginSearch* search) {
    HMODULE module = search->module;
    search->module = nullptr;
    if (module != nullptr) {
        Plugin_Free(module, &search->report);
    }
}
