// The growing text blocks of the listing, in ANSI and in UTF-16. A block's
// capacity grows geometrically and the text's length is kept beside it, so
// a listing costs time in proportion to its length.
#include "listing/listing.h"

#include <string.h>

// The text's bytes, locked, with room for `bytes` more and a terminator of
// `unit` bytes; null when the block cannot grow, and the text is unchanged.
static char* Listing_Room(ListingText* text, SIZE_T bytes, SIZE_T unit) {
    SIZE_T size = text->block != nullptr ? GlobalSize(text->block) : 0;
    SIZE_T needed = text->length + bytes + unit;
    if (size == 0) {
        // A new block; an old one that reports no size is left alone.
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes + unit);
        if (block == nullptr) {
            return nullptr;
        }
        text->block = block;
        text->length = 0;
    } else if (needed > size) {
        SIZE_T grown = size <= SIZE_MAX / 2 && size * 2 > needed ? size * 2 : needed;
        HGLOBAL block = GlobalReAlloc(text->block, grown, GMEM_MOVEABLE);
        if (block == nullptr && grown != needed) {
            block = GlobalReAlloc(text->block, needed, GMEM_MOVEABLE);
        }
        if (block == nullptr) {
            return nullptr;
        }
        text->block = block;
    }
    return static_cast<char*>(GlobalLock(text->block));
}

// Counts `bytes` more as text, terminates it and unlocks the block.
static void Listing_Commit(ListingText* text, char* locked, SIZE_T bytes, SIZE_T unit) {
    text->length += bytes;
    memset(locked + text->length, 0, unit);
    GlobalUnlock(text->block);
}

// Appends up to `n` units of `unit` bytes, stopping at a zero unit.
static void Listing_AppendUnits(ListingText* text, const void* piece, int n, SIZE_T unit) {
    if (n < 0) {
        return;
    }
    const auto* bytes = static_cast<const char*>(piece);
    SIZE_T length = 0;
    while (static_cast<int>(length / unit) < n &&
           (bytes[length] != 0 || (unit == 2 && bytes[length + 1] != 0))) {
        length += unit;
    }
    char* locked = Listing_Room(text, length, unit);
    if (locked != nullptr) {
        memcpy(locked + text->length, piece, length);
        Listing_Commit(text, locked, length, unit);
    }
}

void Util_AppendText(ListingText* text, const char* piece, int n) {
    Listing_AppendUnits(text, piece, n, 1);
}

void Listing_AppendWideText(ListingText* text, const wchar_t* piece, int n) {
    Listing_AppendUnits(text, piece, n, sizeof(wchar_t));
}

// Whether every byte is below 0x80: text that reads the same in every code
// page, widened byte by byte without asking the system (most of a listing).
static int Listing_IsAscii(const char* piece, int n) {
    for (int i = 0; i < n; ++i) {
        if (static_cast<unsigned char>(piece[i]) >= 0x80) {
            return 0;
        }
    }
    return 1;
}

void Listing_AppendAnsiAsWide(ListingText* wide, const char* piece, int n) {
    int ascii = Listing_IsAscii(piece, n);
    int units = ascii || n <= 0 ? n : MultiByteToWideChar(CP_ACP, 0, piece, n, nullptr, 0);
    if (units <= 0) {
        return;
    }
    SIZE_T bytes = static_cast<SIZE_T>(units) * sizeof(wchar_t);
    char* locked = Listing_Room(wide, bytes, sizeof(wchar_t));
    if (locked == nullptr) {
        return;
    }
    auto* out = reinterpret_cast<wchar_t*>(locked + wide->length);
    if (ascii) {
        for (int i = 0; i < n; ++i) {
            out[i] = static_cast<unsigned char>(piece[i]);
        }
    } else if (MultiByteToWideChar(CP_ACP, 0, piece, n, out, units) != units) {
        bytes = 0;
    }
    Listing_Commit(wide, locked, bytes, sizeof(wchar_t));
}

void Listing_AppendWideAsAnsi(ListingText* ansi, const wchar_t* piece, int n) {
    int count = n <= 0 ? 0 : WideCharToMultiByte(CP_ACP, 0, piece, n, nullptr, 0, nullptr, nullptr);
    if (count <= 0) {
        return;
    }
    char* locked = Listing_Room(ansi, static_cast<SIZE_T>(count), 1);
    if (locked == nullptr) {
        return;
    }
    SIZE_T bytes = static_cast<SIZE_T>(count);
    if (WideCharToMultiByte(CP_ACP, 0, piece, n, locked + ansi->length, count, nullptr, nullptr) !=
        count) {
        bytes = 0;
    }
    Listing_Commit(ansi, locked, bytes, 1);
}
