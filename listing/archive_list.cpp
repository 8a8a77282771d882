// The archive listing: a header, one line per entry record of the archive
// plug-in, a rule and a footer with the totals, placed as CF_TEXT.
#include "listing/listing.h"
#include "clipboard/clipboard.h"

#include <time.h>

static const char LISTING_TITLE[] = "Listing of archive : ";
static const char LISTING_HEADER[] =
    "\r\n\r\n Original   Packed     Ratio     Date     Time      Type   CRC    Name\r\n"
    "---------- ---------- ------- ---------- -------- -------- ----  "
    "------------------------------";
static const char LISTING_RULE[] =
    "\r\n---------- ---------- ------- ---------- -------- -------- ----  "
    "------------------------------\r\n";
// Shown in the date and time columns when a timestamp has no local time.
static const char LISTING_NO_TIME[] = "---------- -------- ";
constexpr int LISTING_FIELD = 200;
constexpr int LINE_SIZE = 256;

static_assert(sizeof LISTING_TITLE - 1 == 21, "title");
static_assert(sizeof LISTING_HEADER - 1 == 171, "header");
static_assert(sizeof(time_t) >= sizeof(SpiTime), "timestamps convert without loss");

static void Listing_Append(ListingText* text, const char* piece) {
    Util_AppendText(text, piece, lstrlenA(piece));
}

// Sizes and ratio as "%10u %10u %4u.%u%% ": unsigned, so that no size shows
// as a negative number.
static int Listing_Numbers(char* line, uint64_t original, uint64_t packed) {
    ListingWide whole;
    unsigned tenths;
    Listing_Ratio(packed, original, &whole, &tenths);
    int n = Listing_Decimal(line, original, 10);
    line[n++] = ' ';
    n += Listing_Decimal(line + n, packed, 10);
    line[n++] = ' ';
    n += Listing_Decimal(line + n, whole, 4);
    line[n++] = '.';
    line[n++] = static_cast<char>('0' + tenths);
    line[n++] = '%';
    line[n++] = ' ';
    return n;
}

// A text field of the record, at most 200 bytes, as a terminated copy with
// control characters shown as '?'.
static int Listing_Field(char* out, const char* field) {
    int n = 0;
    while (n < LISTING_FIELD && field[n] != '\0') {
        out[n] = Listing_Shown(field[n]);
        ++n;
    }
    out[n] = '\0';
    return n;
}

static void Listing_Entry(ListingText* text, const ArchiveEntryInfo* entry) {
    char line[LINE_SIZE];
    line[0] = '\r';
    line[1] = '\n';
    int n = 2 + Listing_Numbers(line + 2, entry->filesize, entry->compsize);
    time_t seconds = static_cast<time_t>(entry->timestamp);
    const struct tm* local = localtime(&seconds);
    if (local != nullptr) {
        n += wsprintfA(line + n, "%04i-%02i-%02i %02i:%02i:%02i ", local->tm_year + 1900,
                       local->tm_mon + 1, local->tm_mday, local->tm_hour, local->tm_min,
                       local->tm_sec);
    } else {
        n += wsprintfA(line + n, "%s", LISTING_NO_TIME);
    }
    Util_AppendText(text, line, n);

    Listing_TypeField(line, entry->method);
    Util_AppendText(text, line, 8);
    n = wsprintfA(line, " %.4X  ", static_cast<unsigned>(entry->crc));
    Util_AppendText(text, line, n);

    char field[LISTING_FIELD + 1];
    n = Listing_Field(field, entry->path);
    Util_SlashPath(field);
    Util_AppendText(text, field, n);
    n = Listing_Field(field, entry->filename);
    Util_AppendText(text, field, n);
}

// Lists the records of the plug-in's entry block, up to its closing record
// and never past the last whole record the block holds.
static void Listing_Entries(ListingText* text, HLOCAL handle, ListingTotals* totals) {
    SIZE_T records = LocalSize(handle) / sizeof(ArchiveEntryInfo);
    const auto* entries = static_cast<const ArchiveEntryInfo*>(LocalLock(handle));
    if (entries == nullptr) {
        return;
    }
    for (SIZE_T i = 0; i < records && entries[i].method[0] != '\0'; ++i) {
        Listing_Entry(text, &entries[i]);
        Listing_Count(totals, entries[i].filesize, entries[i].compsize);
    }
    LocalUnlock(handle);
}

// The title, the header, the entry lines, the closing rule and the totals,
// after the first piece that the text already holds.
static void Listing_Build(ListingText* text, const char* archivePath, HLOCAL entries) {
    Listing_Append(text, archivePath);
    char* bytes = static_cast<char*>(GlobalLock(text->block));
    if (bytes != nullptr) {
        Util_SlashPath(bytes);
        GlobalUnlock(text->block);
    }
    Listing_Append(text, LISTING_HEADER);

    ListingTotals totals = {0, 0, 0};
    if (entries != nullptr) {
        Listing_Entries(text, entries, &totals);
    }
    Listing_Append(text, LISTING_RULE);
    char line[LINE_SIZE];
    int n = Listing_Numbers(line, totals.original, totals.packed);
    // 37 spaces in all after the ratio, the first written with it.
    for (int i = 0; i < 36; ++i) {
        line[n++] = ' ';
    }
    n += Listing_Decimal(line + n, totals.files, 0);
    n += wsprintfA(line + n, " files\r\n");
    Util_AppendText(text, line, n);
}

int Archive_List(HMODULE plugin, const char* archivePath, SpiWord offset) {
    HLOCAL entries = nullptr;
    auto getArchiveInfo = reinterpret_cast<GetArchiveInfoProc>(Spi_Entry(plugin, "GetArchiveInfo"));
    if (getArchiveInfo != nullptr && getArchiveInfo(archivePath, offset, 0, &entries) != 0 &&
        entries == nullptr) {
        // The plug-in could not read the archive: the clipboard keeps what it has.
        return 0;
    }
    ListingText text = {nullptr, 0};
    Listing_Append(&text, LISTING_TITLE);
    if (text.block != nullptr) {
        Listing_Build(&text, archivePath, entries);
        const char* bytes = static_cast<const char*>(GlobalLock(text.block));
        if (bytes != nullptr) {
            // Whether the clipboard took the text is not reported.
            (void)Quorlex_Text(bytes, static_cast<int>(text.length));
            GlobalUnlock(text.block);
        }
        GlobalFree(text.block);
    }
    if (entries != nullptr) {
        LocalFree(entries);
    }
    return 1;
}
