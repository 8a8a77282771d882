// The archive listing: asks an archive plug-in for its entries and places a
// fixed-column text table of them, with totals and ratios, on the clipboard.
#pragma once

#include "plugin/spi.h"

// Ratio arithmetic is exact: packed x 10000 needs twice the width of a size.
#ifdef _WIN64
typedef unsigned __int128 ListingWide;
#else
typedef uint64_t ListingWide;
#endif

// The listing's text as it grows: a movable global block holding a
// NUL-terminated text of `length` bytes; the block may be larger. `block` is
// null until the first piece is appended.
struct ListingText {
    HGLOBAL block;
    SIZE_T length;
};

// Lists the archive that starts `offset` bytes into the file. 0 when the
// plug-in reports a failure and hands back no entries: nothing is placed and
// the clipboard keeps its content. Otherwise 1, whether or not the text
// could be built and placed.
int Archive_List(HMODULE plugin, const char* archivePath, SpiWord offset);

// Appends at most `n` bytes of `piece`, stopping at its NUL. When the block
// cannot grow the piece is left out and the text stays as it was. Growth is
// geometric: a listing's cost is linear in its length.
void Util_AppendText(ListingText* text, const char* piece, int n);

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
void Listing_Count(ListingTotals* totals, uint64_t original, uint64_t packed);

// The ratio of packed to original size in tenths of a percent, rounded:
// whole percent and tenths digit; 0.0 when the original size is 0.
void Listing_Ratio(uint64_t packed, uint64_t original, ListingWide* whole, unsigned* tenths);

// Right-aligns the decimal digits of `value` in at least `width` characters;
// returns the number of characters written (no terminator).
int Listing_Decimal(char* out, ListingWide value, int width);

// A byte of a record's text as the listing shows it: a control character
// as '?', so that no name or method can end its line and forge the next. No
// double-byte character has a second byte below 0x40.
char Listing_Shown(char c);

// The 8-character type column: the method text centred, padded with spaces,
// control characters shown as '?'.
void Listing_TypeField(char* out, const char method[8]);
