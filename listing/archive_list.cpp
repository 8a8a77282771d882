// The archive listing: a title, a header, one line per entry record of the
// archive plug-in, a rule and a footer with the totals. It is built as ANSI
// text and as UTF-16 text side by side and placed as CF_TEXT and
// CF_UNICODETEXT. From ANSI records the ANSI text holds their bytes and the
// UTF-16 text their conversion; from wide records the UTF-16 text holds
// every name exact and the ANSI text its conversion.
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
constexpr int LINE_SIZE = 256;
constexpr int TITLE_LENGTH = sizeof LISTING_TITLE - 1;

static_assert(TITLE_LENGTH == 21, "title");
static_assert(sizeof LISTING_HEADER - 1 == 171, "header");
static_assert(sizeof(time_t) >= sizeof(SpiTime), "timestamps convert without loss");

// A piece of ANSI text, to both forms.
static void Listing_AppendAnsi(Listing* listing, const char* piece, int n) {
    Util_AppendText(&listing->ansi, piece, n);
    Util_AppendAnsiAsWide(&listing->wide, piece, n);
}

// A piece of UTF-16 text, to both forms.
static void Listing_AppendWide(Listing* listing, const wchar_t* piece, int n) {
    Util_AppendWide(&listing->wide, piece, n);
    Util_AppendWideAsAnsi(&listing->ansi, piece, n);
}

static void Listing_Append(Listing* listing, const char* piece) {
    Listing_AppendAnsi(listing, piece, lstrlenA(piece));
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

// An entry line up to its name: sizes, ratio, date and time, type and CRC.
static void Listing_Columns(Listing* listing, uint64_t original, uint64_t packed, SpiTime timestamp,
                            const char method[8], uint32_t crc) {
    char line[LINE_SIZE];
    line[0] = '\r';
    line[1] = '\n';
    int n = 2 + Listing_Numbers(line + 2, original, packed);
    time_t seconds = static_cast<time_t>(timestamp);
    const struct tm* local = localtime(&seconds);
    if (local != nullptr) {
        n += wsprintfA(line + n, "%04i-%02i-%02i %02i:%02i:%02i ", local->tm_year + 1900,
                       local->tm_mon + 1, local->tm_mday, local->tm_hour, local->tm_min,
                       local->tm_sec);
    } else {
        n += wsprintfA(line + n, "%s", LISTING_NO_TIME);
    }
    Listing_TypeField(line + n, method);
    n += 8;
    n += wsprintfA(line + n, " %.4X  ", static_cast<unsigned>(crc));
    Listing_AppendAnsi(listing, line, n);
}

// A name field of an ANSI record, at most 200 bytes, with control
// characters shown as '?' and, in the path, backslashes as slashes.
static void Listing_AnsiName(Listing* listing, const char* field, int isPath) {
    char shown[SPI_NAME_FIELD + 1];
    int n = 0;
    while (n < SPI_NAME_FIELD && field[n] != '\0') {
        shown[n] = Listing_Shown(field[n]);
        ++n;
    }
    shown[n] = '\0';
    if (isPath) {
        Util_SlashPath(shown);
    }
    Listing_AppendAnsi(listing, shown, n);
}

// The same for a wide record's field of 200 units.
static void Listing_WideName(Listing* listing, const wchar_t* field, int isPath) {
    wchar_t shown[SPI_NAME_FIELD];
    int n = 0;
    while (n < SPI_NAME_FIELD && field[n] != L'\0') {
        wchar_t c = Listing_ShownWide(field[n]);
        shown[n++] = isPath && c == L'\\' ? L'/' : c;
    }
    Listing_AppendWide(listing, shown, n);
}

// The records of the plug-in's entry block, up to the closing record and
// never past the last whole record the block holds.
static void Listing_Entries(Listing* listing, HLOCAL handle, int wideRecords,
                            ListingTotals* totals) {
    SIZE_T size = LocalSize(handle);
    const void* block = LocalLock(handle);
    if (block == nullptr) {
        return;
    }
    if (wideRecords) {
        const auto* entries = static_cast<const ArchiveEntryInfoW*>(block);
        for (SIZE_T i = 0; i < size / sizeof *entries && entries[i].method[0] != '\0'; ++i) {
            const ArchiveEntryInfoW* e = &entries[i];
            Listing_Columns(listing, e->filesize, e->compsize, e->timestamp, e->method, e->crc);
            Listing_WideName(listing, e->path, 1);
            Listing_WideName(listing, e->filename, 0);
            Listing_AddToTotals(totals, e->filesize, e->compsize);
        }
    } else {
        const auto* entries = static_cast<const ArchiveEntryInfo*>(block);
        for (SIZE_T i = 0; i < size / sizeof *entries && entries[i].method[0] != '\0'; ++i) {
            const ArchiveEntryInfo* e = &entries[i];
            Listing_Columns(listing, e->filesize, e->compsize, e->timestamp, e->method, e->crc);
            Listing_AnsiName(listing, e->path, 1);
            Listing_AnsiName(listing, e->filename, 0);
            Listing_AddToTotals(totals, e->filesize, e->compsize);
        }
    }
    LocalUnlock(handle);
}

// The title's path, as the user gave it, with slashes for backslashes: put
// in the UTF-16 text and slashed there, then converted into the ANSI text.
static void Listing_Title(Listing* listing, const wchar_t* archivePath) {
    Util_AppendWide(&listing->wide, archivePath, lstrlenW(archivePath));
    auto* text = static_cast<wchar_t*>(GlobalLock(listing->wide.block));
    if (text == nullptr) {
        return;
    }
    int length = static_cast<int>(listing->wide.length / sizeof(wchar_t)) - TITLE_LENGTH;
    wchar_t* path = text + TITLE_LENGTH;
    for (int i = 0; i < length; ++i) {
        path[i] = path[i] == L'\\' ? L'/' : path[i];
    }
    Util_AppendWideAsAnsi(&listing->ansi, path, length);
    GlobalUnlock(listing->wide.block);
}

// The title, the header, the entry lines, the closing rule and the totals.
static void Listing_Build(Listing* listing, const wchar_t* archivePath, HLOCAL entries,
                          int wideRecords) {
    Listing_Title(listing, archivePath);
    Listing_Append(listing, LISTING_HEADER);
    ListingTotals totals = {0, 0, 0};
    if (entries != nullptr) {
        Listing_Entries(listing, entries, wideRecords, &totals);
    }
    Listing_Append(listing, LISTING_RULE);
    char line[LINE_SIZE];
    int n = Listing_Numbers(line, totals.original, totals.packed);
    // 37 spaces in all after the ratio, the first written with it.
    for (int i = 0; i < 36; ++i) {
        line[n++] = ' ';
    }
    n += Listing_Decimal(line + n, totals.files, 0);
    n += wsprintfA(line + n, " files\r\n");
    Listing_AppendAnsi(listing, line, n);
}

// Places both texts; 0 when they cannot be locked or the clipboard refuses.
static int Listing_Place(Listing* listing) {
    const char* ansi = static_cast<const char*>(GlobalLock(listing->ansi.block));
    const wchar_t* wide = static_cast<const wchar_t*>(GlobalLock(listing->wide.block));
    int placed =
        ansi != nullptr && wide != nullptr &&
        Quorlex_Text(ansi, listing->ansi.length, wide, listing->wide.length / sizeof(wchar_t));
    if (ansi != nullptr) {
        GlobalUnlock(listing->ansi.block);
    }
    if (wide != nullptr) {
        GlobalUnlock(listing->wide.block);
    }
    return placed;
}

ListingResult Archive_List(const wchar_t* archivePath) {
    HLOCAL entries = nullptr;
    int wideRecords = 0;
    int failed = 0;
    PluginCall call = Plugin_GetArchiveInfo(&entries, &wideRecords, &failed);
    if (call == PluginCall::Faulted) {
        // Whatever the plug-in handed back before it faulted is not trusted.
        return ListingResult::NotRead;
    }
    if (call == PluginCall::Returned && failed != 0 && entries == nullptr) {
        // The plug-in could not read the archive: the clipboard keeps what it has.
        return ListingResult::NotRead;
    }
    ListingResult result = ListingResult::NotPlaced;
    Listing listing = {{nullptr, 0}, {nullptr, 0}};
    Listing_Append(&listing, LISTING_TITLE);
    if (listing.ansi.block != nullptr && listing.wide.block != nullptr) {
        Listing_Build(&listing, archivePath, entries, wideRecords);
        if (Listing_Place(&listing)) {
            result = ListingResult::Placed;
        }
    }
    if (listing.ansi.block != nullptr) {
        GlobalFree(listing.ansi.block);
    }
    if (listing.wide.block != nullptr) {
        GlobalFree(listing.wide.block);
    }
    if (entries != nullptr) {
        LocalFree(entries);
    }
    return result;
}
