// The archive listing: a fixed-column text table of an archive plug-in's
// entry records, with totals and ratios, placed on the clipboard. It is
// handed the records; it calls no plug-in.
#pragma once

#include "plugin/spi.h"

// The ratio's long division holds up to ten times a sum of sizes: 128 bits
// on x64; on x86, where sums of 32-bit sizes stay below 2^56, 64 bits.
#ifdef _WIN64
typedef unsigned __int128 ListingWide;
#else
typedef uint64_t ListingWide;
#endif

// One form of the listing's text as it grows: a movable global block
// holding `length` bytes of text and a terminating zero unit (one byte in
// ANSI, two in UTF-16); the block may be larger. `block` is null until the
// first piece is appended.
struct ListingText {
    HGLOBAL block;
    SIZE_T length;
};

// The listing in both forms, grown side by side: the ANSI text placed as
// CF_TEXT and the UTF-16 text placed as CF_UNICODETEXT.
struct Listing {
    ListingText ansi;
    ListingText wide;
};

// Lists the entry records in `records` (`size` bytes of ArchiveEntryInfo,
// or of ArchiveEntryInfoW when `wideRecords`; null: none) of the archive at
// `archivePath` (the path the user gave, shown in the title) and places the
// listing, in both forms, on the clipboard. 1 when it was placed; 0 when it
// could not be built or the clipboard refused it.
int Archive_List(const wchar_t* archivePath, const void* records, SIZE_T size, int wideRecords);

// Appends at most `n` bytes of `piece`, stopping at its NUL. When the block
// cannot grow the piece is left out and the text stays as it was. Growth is
// geometric: a listing's cost is linear in its length.
void Util_AppendText(ListingText* text, const char* piece, int n);
// The same for UTF-16 text: at most `n` units, stopping at a zero unit.
void Listing_AppendWideText(ListingText* text, const wchar_t* piece, int n);
// Appends `n` bytes of ANSI text to a UTF-16 text, converted with the ANSI
// code page; and `n` units of UTF-16 text to an ANSI text, converted as the
// system converts clipboard text (a character the code page cannot spell
// becomes its best fit or '?').
void Listing_AppendAnsiAsWide(ListingText* wide, const char* piece, int n);
void Listing_AppendWideAsAnsi(ListingText* ansi, const wchar_t* piece, int n);

// Replaces each backslash character with a slash, in place, stepping by
// characters so that the second byte of a double-byte character is kept.
int Util_SlashPath(char* text);

// The footer's sums, 64 bits on both targets: the 32-bit sizes of the x86
// records add up without wrapping.
struct ListingTotals {
    uint64_t original;
    uint64_t packed;
    uint64_t files;
};

// Adds one entry's sizes to the sums and counts it.
void Listing_AddToTotals(ListingTotals* totals, uint64_t original, uint64_t packed);

// The ratio of packed to original size in tenths of a percent, rounded:
// whole percent and tenths digit; 0.0 when the original size is 0.
void Listing_Ratio(uint64_t packed, uint64_t original, ListingWide* whole, unsigned* tenths);

// Right-aligns the decimal digits of `value` in at least `width` characters;
// returns the number of characters written (no terminator).
int Listing_Decimal(char* out, ListingWide value, int width);

// A byte or unit of a record's text as the listing shows it: a control
// character as '?', so that no name or method can end its line and forge
// the next. No double-byte character has a second byte below 0x40.
char Listing_Shown(char c);
wchar_t Listing_ShownWide(wchar_t c);

// The 8-character type column: the method text centred, padded with spaces,
// control characters shown as '?'.
void Listing_TypeField(char* out, const char method[8]);
