// The worker's search: the listed plug-ins of this program's width are
// loaded one at a time, in order, asked about the file and freed again
// unless one accepts. Every file it comes to in the first pass is reported
// with its width, and every call into a plug-in as it begins and returns,
// so that the run, watching from its own process, knows what the search
// learnt and whom to blame when the worker dies or goes silent. The worker
// is one thread; nothing here guards against a fault.
#pragma once

#include "plugin/calls.h"

// One worker's search, its own: the run's record (read-only), the input it
// hands plug-ins, which file and pass it is at, what it learnt itself, and
// the plug-in it asked last, loaded while it is asked or after it accepted
// (module null between).
struct PluginSearch {
    const PluginRegistry* registry;
    const PluginInput* input;
    PluginReport report; // its file and pass are the current ones
    int pass;            // 0: the head; 1: the head HEAD_SKIP bytes on
    int next;            // the next file to ask
    HMODULE module;
    PluginKind kind;
    uint16_t machine[PLUGIN_FILES_MAX];  // as the record says, or as read here
    uint8_t furtherOn[PLUGIN_FILES_MAX]; // the same for the bytes further on
};

// Starts a worker's search where the run's record says, reporting on
// `events`.
void Plugin_StartSearch(PluginSearch* search, const PluginRegistry* registry,
                        const PluginInput* input, HANDLE events);
// Frees the plug-in that accepted last and asks the next ones until one
// accepts: 1 with search->module and kind set, 0 when no plug-in is left in
// either pass. Plug-in files of the other width are never loaded.
int Plugin_Find(PluginSearch* search);
// The offset the accepting plug-in reads the file from: 0, or HEAD_SKIP in
// the second pass.
SpiWord Plugin_Offset(const PluginSearch* search);
// Frees the plug-in that accepted last; safe to call again.
void Plugin_Release(PluginSearch* search);
