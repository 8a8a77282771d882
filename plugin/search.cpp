// The worker's search for the plug-in that takes a file: the listed plug-ins
// are loaded one at a time, in order, and each is freed again unless it
// accepts. A plug-in declares its kind by its version text, exactly "00IN"
// or "00AM"; any other text is no plug-in of ours. Every plug-in sees the
// file's head before any takes the file HEAD_SKIP bytes on; each is asked
// about both while it is loaded the one time, and its answer about the
// bytes further on is kept, in the registry, for when none took the head.
// A worker that follows one that died goes on where the run says.
#include "plugin/search.h"

void Plugin_StartSearch(PluginSearch* search, PluginRegistry* registry) {
    search->registry = registry;
    search->ansiPath = registry->hasAnsiPath ? registry->ansiPath : nullptr;
    search->pass = registry->startPass == 1 ? 1 : 0;
    search->next = static_cast<int>(registry->startFile);
    search->current = 0;
    search->module = nullptr;
    search->kind = PLUGIN_KIND_NONE;
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

// The version buffer: what the plug-in is told it may write, and room past
// that for a plug-in that copies its text with no regard to the length.
constexpr int VERSION_TOLD = 255;
constexpr int VERSION_BUFFER = 1024;

// Asks the loaded plug-in about the head HEAD_SKIP bytes on and keeps the
// answer for the second pass.
static void Plugin_AskFurtherOn(PluginSearch* search) {
    int accepted = 0;
    PluginCall call = Plugin_IsSupported(search, search->registry->head + HEAD_SKIP,
                                         PluginStep::SupportFurtherOn, &accepted);
    search->registry->answers[search->current].furtherOn = call == PluginCall::Returned && accepted;
}

// Whether listed file `index` is of this program's width, read from its
// header (what an earlier worker wrote is not trusted) and kept in the
// registry for the run, which starts the partner for files of the other.
static int Plugin_IsOwnWidth(PluginRegistry* registry, int index) {
    WORD machine = Plugin_FileMachine(registry->files[index].path);
    registry->answers[index].machine = machine;
    return machine == PLUGIN_OWN_MACHINE;
}

// Loads the file, when its header says it is of this program's width, and
// checks its version. In the first pass it asks the plug-in about the
// head, and when it declines, about the bytes further on; in the second it
// takes the kept answer. 1 when it accepts, and it then stays loaded.
static int Plugin_Ask(PluginSearch* search, int index) {
    search->current = index;
    search->module = nullptr;
    if (!Plugin_IsOwnWidth(search->registry, index)) {
        return 0;
    }
    search->module = Plugin_Load(search, index);
    if (search->module == nullptr) {
        return 0;
    }
    char version[VERSION_BUFFER] = {};
    PluginCall call = Plugin_GetVersion(search, version, VERSION_TOLD);
    version[VERSION_TOLD] = '\0';
    search->kind = Plugin_Kind(version);
    int accepted = search->pass == 1;
    if (call == PluginCall::Returned && search->kind != PLUGIN_KIND_NONE && !accepted) {
        call = Plugin_IsSupported(search, search->registry->head, PluginStep::Support, &accepted);
        if (call == PluginCall::Returned && !accepted) {
            Plugin_AskFurtherOn(search);
        }
    }
    if (call == PluginCall::Returned && search->kind != PLUGIN_KIND_NONE && accepted) {
        return 1;
    }
    Plugin_Free(search);
    return 0;
}

int Plugin_Find(PluginSearch* search) {
    // A plug-in that took the head and then could not decode or list the
    // file is asked about the bytes further on before it is freed.
    if (search->module != nullptr && search->pass == 0) {
        Plugin_AskFurtherOn(search);
    }
    Plugin_Free(search);
    PluginRegistry* registry = search->registry;
    int count = static_cast<int>(registry->count);
    if (count > PLUGIN_FILES_MAX) {
        count = PLUGIN_FILES_MAX;
    }
    for (;;) {
        while (search->next < count) {
            int index = search->next++;
            if (!registry->files[index].failed &&
                (search->pass == 0 || registry->answers[index].furtherOn) &&
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
    Plugin_Free(search);
}
