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
    Listing_AppendAnsiAsWide(&listing->wide, piece, n);
}

// A piece of UTF-16 text, to both forms.
static void Listing_AppendWide(Listing* listing, const wchar_t* piece, int n) {
    Listing_AppendWideText(&listing->wide, piece, n);
    Listing_AppendWideAsAnsi(&listing->ansi, piece, n);
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
// Returns its length in `line` (LINE_SIZE bytes).
static int Listing_Columns(char* line, uint64_t original, uint64_t packed, SpiTime timestamp,
                           const char method[8], uint32_t crc) {
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
    return n + wsprintfA(line + n, " %.4X  ", static_cast<unsigned>(crc));
}

// A name field of an ANSI record, at most 200 bytes, into `out` with
// control characters shown as '?' and, in the path, backslashes as slashes.
static int Listing_AnsiName(char* out, const char* field, int isPath) {
    int n = 0;
    while (n < SPI_NAME_FIELD && field[n] != '\0') {
        out[n] = Listing_Shown(field[n]);
        ++n;
    }
    out[n] = '\0';
    if (isPath) {
        Util_SlashPath(out);
    }
    return n;
}

// The same for a wide record's field of 200 units.
static int Listing_WideName(wchar_t* out, const wchar_t* field, int isPath) {
    int n = 0;
    while (n < SPI_NAME_FIELD && field[n] != L'\0') {
        wchar_t c = Listing_ShownWide(field[n]);
        out[n++] = isPath && c == L'\\' ? L'/' : c;
    }
    return n;
}

// One entry line, appended to both texts at once.
static void Listing_AnsiEntry(Listing* listing, const ArchiveEntryInfo* e) {
    char line[LINE_SIZE + 2 * SPI_NAME_FIELD + 1];
    int n = Listing_Columns(line, e->filesize, e->compsize, e->timestamp, e->method, e->crc);
    n += Listing_AnsiName(line + n, e->path, 1);
    n += Listing_AnsiName(line + n, e->filename, 0);
    Listing_AppendAnsi(listing, line, n);
}

static void Listing_WideEntry(Listing* listing, const ArchiveEntryInfoW* e) {
    char columns[LINE_SIZE];
    int c = Listing_Columns(columns, e->filesize, e->compsize, e->timestamp, e->method, e->crc);
    wchar_t line[LINE_SIZE + 2 * SPI_NAME_FIELD];
    // The method is ANSI text like the rest of the columns.
    int n = MultiByteToWideChar(CP_ACP, 0, columns, c, line, LINE_SIZE);
    n = n > 0 ? n : 0;
    n += Listing_WideName(line + n, e->path, 1);
    n += Listing_WideName(line + n, e->filename, 0);
    Listing_AppendWide(listing, line, n);
}

// The records of a plug-in's entry block, up to the closing record and
// never past the last whole record the block holds.
static void Listing_Entries(Listing* listing, const void* records, SIZE_T size, int wideRecords,
                            ListingTotals* totals) {
    if (wideRecords) {
        const auto* entries = static_cast<const ArchiveEntryInfoW*>(records);
        for (SIZE_T i = 0; i < size / sizeof *entries && entries[i].method[0] != '\0'; ++i) {
            Listing_WideEntry(listing, &entries[i]);
            Listing_AddToTotals(totals, entries[i].filesize, entries[i].compsize);
        }
    } else {
        const auto* entries = static_cast<const ArchiveEntryInfo*>(records);
        for (SIZE_T i = 0; i < size / sizeof *entries && entries[i].method[0] != '\0'; ++i) {
            Listing_AnsiEntry(listing, &entries[i]);
            Listing_AddToTotals(totals, entries[i].filesize, entries[i].compsize);
        }
    }
}

// The title's path, as the user gave it, with slashes for backslashes: put
// in the UTF-16 text and slashed there, then converted into the ANSI text.
static void Listing_Title(Listing* listing, const wchar_t* archivePath) {
    Listing_AppendWideText(&listing->wide, archivePath, lstrlenW(archivePath));
    auto* text = static_cast<wchar_t*>(GlobalLock(listing->wide.block));
    if (text == nullptr) {
        return;
    }
    int length = static_cast<int>(listing->wide.length / sizeof(wchar_t)) - TITLE_LENGTH;
    wchar_t* path = text + TITLE_LENGTH;
    for (int i = 0; i < length; ++i) {
        path[i] = path[i] == L'\\' ? L'/' : path[i];
    }
    Listing_AppendWideAsAnsi(&listing->ansi, path, length);
    GlobalUnlock(listing->wide.block);
}

// The title, the header, the entry lines, the closing rule and the totals.
static void Listing_Build(Listing* listing, const wchar_t* archivePath, const void* records,
                          SIZE_T size, int wideRecords) {
    Listing_Title(listing, archivePath);
    Listing_Append(listing, LISTING_HEADER);
    ListingTotals totals = {0, 0, 0};
    if (records != nullptr) {
        Listing_Entries(listing, records, size, wideRecords, &totals);
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

int Archive_List(const wchar_t* archivePath, const void* records, SIZE_T size, int wideRecords) {
    int placed = 0;
    Listing listing = {{nullptr, 0}, {nullptr, 0}};
    Listing_Append(&listing, LISTING_TITLE);
    if (listing.ansi.block != nullptr && listing.wide.block != nullptr) {
        Listing_Build(&listing, archivePath, records, size, wideRecords);
        placed = Listing_Place(&listing);
    }
    if (listing.ansi.block != nullptr) {
        GlobalFree(listing.ansi.block);
    }
    if (listing.wide.block != nullptr) {
        GlobalFree(listing.wide.block);
    }
    return placed;
}
