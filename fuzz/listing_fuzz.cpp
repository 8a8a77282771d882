// The host's archive listing on any entry block, ANSI or wide records, in
// code pages 1252 and 932: both texts have one line per record walked and
// the fixed lines, no line break of their own inside a name, and a footer
// that counts the records. The input's first byte says whether the records
// are wide (bit 2); the rest is the block.
#include "check.h"
#include "listing/listing.h"

#include <string.h>
#include <string>
#include <vector>

static size_t Fuzz_Count(const std::string& text, const char* piece) {
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

// Units of a UTF-16 text, and how many are `unit`. (The C library's wide
// strings have 4-byte units; with -fshort-wchar they cannot hold these.)
static size_t Fuzz_WideCount(const wchar_t* text, size_t length, wchar_t unit) {
    size_t count = 0;
    for (size_t i = 0; i < length; ++i) {
        count += text[i] == unit;
    }
    return count;
}

// Records walked: up to the closing record, never past the block.
template <typename Record> static size_t Fuzz_Walked(const uint8_t* data, size_t size) {
    size_t records = size / sizeof(Record);
    size_t walked = 0;
    while (walked < records && data[walked * sizeof(Record)] != '\0') {
        ++walked;
    }
    return walked;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    int wideRecords = (data[0] & 4) != 0;
    size_t walked = wideRecords ? Fuzz_Walked<ArchiveEntryInfoW>(data + 1, size - 1)
                                : Fuzz_Walked<ArchiveEntryInfo>(data + 1, size - 1);
    // A block of its own, aligned as a plug-in's block is, and as long as
    // the input says: reading past it is caught.
    std::vector<uint8_t> block(data + 1, data + size);
    for (UINT codePage : {1252u, 932u}) {
        Fake_SetCodePage(codePage);
        Fuzz_Require(Archive_List(L"C:\\data\\a.zip", block.data(), block.size(), wideRecords) == 1,
                     "every listing is placed");
        HANDLE ansi = Fake_ClipboardData(CF_TEXT);
        HANDLE wide = Fake_ClipboardData(CF_UNICODETEXT);
        Fuzz_Require(ansi != nullptr && wide != nullptr, "a listing is placed in both forms");
        {
            std::string text(static_cast<const char*>(GlobalLock(ansi)));
            GlobalUnlock(ansi);
            Fuzz_Require(GlobalSize(ansi) == text.size() + 1, "the text ends at the block's end");
            size_t lines = Fuzz_Count(text, "\r\n");
            Fuzz_Require(lines == walked + 6, "one line per record and the fixed lines");
            Fuzz_Require(Fuzz_Count(text, "\n") == lines && Fuzz_Count(text, "\r") == lines,
                         "no line break inside a name");
            std::string footer = " " + std::to_string(walked) + " files\r\n";
            Fuzz_Require(text.size() >= footer.size() &&
                             text.compare(text.size() - footer.size(), footer.size(), footer) == 0,
                         "the footer counts the records");

            const auto* unicode = static_cast<const wchar_t*>(GlobalLock(wide));
            size_t units = static_cast<size_t>(lstrlenW(unicode));
            Fuzz_Require(GlobalSize(wide) == (units + 1) * sizeof(wchar_t),
                         "the UTF-16 text ends at the block's end");
            Fuzz_Require(Fuzz_WideCount(unicode, units, L'\n') == lines &&
                             Fuzz_WideCount(unicode, units, L'\r') == lines,
                         "the UTF-16 text has the same lines");
            GlobalUnlock(wide);
        }
        Fake_EmptyClipboard();
    }
    Fuzz_RequireReleased();
    return 0;
}
