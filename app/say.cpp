// The run's lines for a user who asks why nothing landed, written with
// OutputDebugStringW: formatted here, since the run loads no USER32 and so
// has no wsprintf.
#include "app/say.h"

#include <string.h>

// One line being made; a line longer than the buffer is cut.
struct SayLine {
    wchar_t text[1024];
    int length;
};

// The program's own words are ASCII, kept as bytes; paths are UTF-16.
static void Say_Text(SayLine* line, const char* text) {
    while (*text != '\0' && line->length < 1000) {
        line->text[line->length++] = static_cast<wchar_t>(*text++);
    }
}

static void Say_Wide(SayLine* line, const wchar_t* text) {
    while (*text != L'\0' && line->length < 1000) {
        line->text[line->length++] = *text++;
    }
}

static void Say_Number(SayLine* line, uint32_t value) {
    wchar_t digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0 && line->length < 1000) {
        line->text[line->length++] = digits[--n];
    }
}

static void Say_Signed(SayLine* line, int32_t value) {
    if (value < 0) {
        Say_Text(line, "-");
        Say_Number(line, 0u - static_cast<uint32_t>(value));
    } else {
        Say_Number(line, static_cast<uint32_t>(value));
    }
}

static void Say_Hex(SayLine* line, uint32_t value) {
    Say_Text(line, "0x");
    for (int shift = 28; shift >= 0; shift -= 4) {
        char digit[2] = {"0123456789ABCDEF"[(value >> shift) & 15], '\0'};
        Say_Text(line, digit);
    }
}

// Bytes a plug-in wrote, quoted, up to the first zero: a byte that is no
// printing ASCII shows as \xNN, a quote or backslash with a backslash.
static void Say_Quoted(SayLine* line, const char* bytes, int count) {
    Say_Text(line, "\"");
    for (int i = 0; i < count && bytes[i] != '\0'; ++i) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '"' || byte == '\\') {
            char escaped[3] = {'\\', static_cast<char>(byte), '\0'};
            Say_Text(line, escaped);
        } else if (byte >= 0x20 && byte < 0x7F) {
            char plain[2] = {static_cast<char>(byte), '\0'};
            Say_Text(line, plain);
        } else {
            char escaped[5] = {'\\', 'x', "0123456789ABCDEF"[byte >> 4],
                               "0123456789ABCDEF"[byte & 15], '\0'};
            Say_Text(line, escaped);
        }
    }
    Say_Text(line, "\"");
}

static void Say_Begin(SayLine* line) {
    line->length = 0;
    Say_Text(line, "quorlex: ");
}

static void Say_Out(SayLine* line) {
    line->text[line->length] = L'\0';
    OutputDebugStringW(line->text);
}

// A line about a listed file: "quorlex: <its name>: ".
static void Say_Plugin(SayLine* line, const PluginRegistry* own, uint32_t file) {
    Say_Begin(line);
    const wchar_t* path = own->files[file].path;
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p != L'\0'; ++p) {
        if (*p == L'\\') {
            name = p + 1;
        }
    }
    Say_Wide(line, name);
    Say_Text(line, ": ");
}

// The call a step is, as a plug-in's author knows it.
static const char* Say_Call(PluginStep step) {
    static const char* const CALLS[] = {"the worker's own steps",
                                        "loading (DllMain)",
                                        "GetPluginInfo",
                                        "IsSupported",
                                        "IsSupported (the bytes 128 on)",
                                        "GetPicture",
                                        "GetArchiveInfo",
                                        "placing",
                                        "freeing (DllMain)",
                                        "the failure box"};
    auto index = static_cast<uint32_t>(step);
    return index <= static_cast<uint32_t>(PluginStep::Last) ? CALLS[index] : CALLS[0];
}

void Say_File(const wchar_t* path, DWORD headBytes, DWORD error) {
    SayLine line;
    Say_Begin(&line);
    Say_Text(&line, "file \"");
    Say_Wide(&line, path);
    if (error != 0) {
        Say_Text(&line, "\" cannot be read (error ");
        Say_Number(&line, error);
        Say_Text(&line, ")");
    } else {
        Say_Text(&line, "\": ");
        Say_Number(&line, headBytes);
        Say_Text(&line, " bytes of its head read");
    }
    Say_Out(&line);
}

void Say_Folders(const PluginFolders* folders) {
    SayLine line;
    Say_Begin(&line);
    Say_Text(&line, "program folder \"");
    Say_Wide(&line, folders->programDir);
    Say_Text(&line, "\": ");
    Say_Number(&line, folders->programFiles);
    Say_Text(&line, " plug-in files");
    Say_Out(&line);
    Say_Begin(&line);
    if (folders->registeredDir[0] == L'\0') {
        Say_Text(&line, "no registered plug-in folder "
                        "(HKCU\\Software\\Morvenko\\Susie\\Plug-in, value Path)");
        Say_Out(&line);
        return;
    }
    Say_Text(&line, "registered folder \"");
    Say_Wide(&line, folders->registeredDir);
    if (folders->registeredMissing) {
        Say_Text(&line, "\" is missing");
    } else if (folders->registeredIsProgram) {
        Say_Text(&line, "\" is the program's own");
    } else {
        Say_Text(&line, "\": ");
        Say_Number(&line, folders->registeredFiles);
        Say_Text(&line, " plug-in files");
    }
    Say_Out(&line);
}

// The version text a Return of Version carries after its kind.
static void Say_Version(SayLine* line, const WorkerEvent* event) {
    char text[12];
    memcpy(text, &event->width, sizeof text);
    Say_Quoted(line, text, sizeof text);
}

void Say_Event(const PluginRegistry* own, const WatchWorker* worker, const WorkerEvent* event,
               int partner) {
    auto kind = static_cast<WorkerEventKind>(event->kind);
    auto step = static_cast<PluginStep>(event->step);
    SayLine line;
    if (kind == WorkerEventKind::Width) {
        // Said by the program's own workers; the partner's see the same files.
        if (worker->machine != PLUGIN_OWN_MACHINE) {
            return;
        }
        if (event->result == PLUGIN_OTHER_MACHINE) {
            Say_Plugin(&line, own, event->file);
            Say_Text(&line, partner ? "of the other width: left to the partner"
                                    : "of the other width, and no partner beside the program");
            Say_Out(&line);
        } else if (event->result != PLUGIN_OWN_MACHINE) {
            Say_Plugin(&line, own, event->file);
            Say_Text(&line, "no Windows DLL of either width");
            Say_Out(&line);
        }
        return;
    }
    if (kind == WorkerEventKind::Begin && step == PluginStep::Free &&
        !(worker->flags & WATCH_VERSION)) {
        Say_Plugin(&line, own, event->file);
        Say_Text(&line, "no plug-in of ours (no GetPluginInfo)");
        Say_Out(&line);
        return;
    }
    if (kind != WorkerEventKind::Return) {
        return;
    }
    Say_Plugin(&line, own, event->file);
    int32_t result = event->result;
    switch (step) {
    case PluginStep::Load:
        if (result == 1) {
            return;
        }
        Say_Text(&line, "not loaded (error ");
        Say_Number(&line, static_cast<uint32_t>(event->width));
        Say_Text(&line, ")");
        break;
    case PluginStep::Version:
        if (result != PLUGIN_KIND_NONE) {
            return;
        }
        Say_Text(&line, "no plug-in of ours (version ");
        Say_Version(&line, event);
        Say_Text(&line, ")");
        break;
    case PluginStep::Support:
        if (result == 0) {
            return;
        }
        Say_Text(&line, "accepted the head");
        break;
    case PluginStep::SupportFurtherOn:
        if (result != 0) {
            Say_Text(&line, "accepted the bytes 128 on, asked again if no plug-in takes the head");
        } else if (!(worker->flags & WATCH_TAKEN)) {
            Say_Text(&line, "declined");
        } else {
            return;
        }
        break;
    case PluginStep::Decode:
        if (result != 0) {
            Say_Text(&line, "decode failed (code ");
            Say_Signed(&line, result);
            Say_Text(&line, ")");
        } else if (event->depth == 0) {
            Say_Text(&line, "picture not whole (its header, depth, size or pixel block)");
        } else {
            Say_Text(&line, "decoded ");
            Say_Signed(&line, event->width);
            Say_Text(&line, " x ");
            Say_Signed(&line, event->height);
            Say_Text(&line, ", ");
            Say_Number(&line, event->depth);
            Say_Text(&line, " bits");
            Say_Text(&line, worker->pass == 1 ? ", from the bytes 128 on" : "");
        }
        break;
    case PluginStep::List:
        if (event->width != 1) {
            Say_Text(&line, "listing failed (code ");
            Say_Signed(&line, result);
            Say_Text(&line, ")");
        } else {
            Say_Text(&line, "listed ");
            Say_Number(&line, static_cast<uint32_t>(event->height));
            Say_Text(&line, " entries");
        }
        break;
    default:
        return;
    }
    Say_Out(&line);
}

void Say_Ended(const PluginRegistry* own, const WatchWorker* worker, uint32_t mainThread,
               DWORD exitCode, int givenUp, uint32_t tookMs, int illegal, int again) {
    SayLine line;
    if (!worker->asked) {
        Say_Begin(&line);
        Say_Text(&line, "a worker ended before it asked anything (");
        if (illegal) {
            Say_Text(&line, "it reported a step out of order)");
        } else if (givenUp) {
            Say_Text(&line, "given up after ");
            Say_Number(&line, tookMs);
            Say_Text(&line, " ms)");
        } else {
            Say_Text(&line, "exit code ");
            Say_Hex(&line, exitCode);
            Say_Text(&line, ")");
        }
        Say_Out(&line);
        return;
    }
    Say_Plugin(&line, own, worker->blamedFile);
    if (illegal) {
        Say_Text(&line, "its worker reported a step out of order, after ");
    } else if (givenUp) {
        Say_Text(&line, "given up after ");
        Say_Number(&line, tookMs);
        Say_Text(&line, " ms in ");
    } else if (worker->faultThread != 0 && worker->faultThread != mainThread) {
        Say_Text(&line, "a thread of its faulted (exception ");
        Say_Hex(&line, exitCode);
        Say_Text(&line, ") in ");
    } else if (worker->faultThread != 0) {
        Say_Text(&line, "faulted (exception ");
        Say_Hex(&line, exitCode);
        Say_Text(&line, ") in ");
    } else {
        Say_Text(&line, "ended the process (exit code ");
        Say_Hex(&line, exitCode);
        Say_Text(&line, ") in ");
    }
    Say_Text(&line, Say_Call(worker->open));
    Say_Text(&line, again ? "; asked once more" : "");
    Say_Out(&line);
}

void Say_Closing(const char* what, int exitCode, uint32_t bytes) {
    SayLine line;
    Say_Begin(&line);
    Say_Text(&line, what);
    if (bytes != 0) {
        Say_Text(&line, ", ");
        Say_Number(&line, bytes);
        Say_Text(&line, " bytes");
    }
    Say_Text(&line, "; exit code ");
    Say_Number(&line, static_cast<uint32_t>(exitCode));
    Say_Out(&line);
}
