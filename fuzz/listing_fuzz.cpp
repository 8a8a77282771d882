// The host's archive listing on any entry block, in code pages 1252 and 932:
// the text has one line per record walked and the fixed lines, no line
// break of its own inside a name, and the footer counts the records. A
// failed read with no block places nothing.
#include "check.h"
#include "listing/listing.h"

#include <string.h>
#include <string>

static const uint8_t* g_data;
static size_t g_size;

// The fake plug-in: the input's first byte says whether it fails and
// whether it hands back a block; the rest is the block.
static int Fuzz_GetArchiveInfo(LPCSTR, SpiWord, unsigned, HLOCAL* entries) {
    if ((g_data[0] & 2) == 0) {
        *entries = LocalAlloc(LMEM_MOVEABLE, g_size - 1);
        if (*entries != nullptr && g_size > 1) {
            memcpy(LocalLock(*entries), g_data + 1, g_size - 1);
            LocalUnlock(*entries);
        }
    }
    return g_data[0] & 1;
}

static size_t Fuzz_Count(const std::string& text, const char* piece) {
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    g_data = data;
    g_size = size;
    HMODULE plugin = Fake_Module("GetArchiveInfo", reinterpret_cast<FARPROC>(&Fuzz_GetArchiveInfo));
    size_t records = (size - 1) / sizeof(ArchiveEntryInfo);
    size_t walked = 0;
    const auto* entries = reinterpret_cast<const ArchiveEntryInfo*>(data + 1);
    while ((data[0] & 2) == 0 && walked < records && entries[walked].method[0] != '\0') {
        ++walked;
    }
    bool unreadable = (data[0] & 3) == 3;
    for (UINT codePage : {1252u, 932u}) {
        Fake_SetCodePage(codePage);
        int listed = Archive_List(plugin, "C:\\data\\a.zip", 0);
        Fuzz_Require(listed == !unreadable, "only a failed read without entries fails");
        HANDLE block = Fake_ClipboardData(CF_TEXT);
        Fuzz_Require((block != nullptr) == !unreadable, "a listing is placed unless it failed");
        if (block != nullptr) {
            std::string text(static_cast<const char*>(GlobalLock(block)));
            GlobalUnlock(block);
            Fuzz_Require(GlobalSize(block) == text.size() + 1, "the text ends at the block's end");
            size_t lines = Fuzz_Count(text, "\r\n");
            Fuzz_Require(lines == walked + 6, "one line per record and the fixed lines");
            Fuzz_Require(Fuzz_Count(text, "\n") == lines && Fuzz_Count(text, "\r") == lines,
                         "no line break inside a name");
            std::string footer = " " + std::to_string(walked) + " files\r\n";
            Fuzz_Require(text.size() >= footer.size() &&
                             text.compare(text.size() - footer.size(), footer.size(), footer) == 0,
                         "the footer counts the records");
        }
        Fake_EmptyClipboard();
    }
    Fuzz_RequireReleased();
    return 0;
}
