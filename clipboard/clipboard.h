// The clipboard writers: each replaces the whole clipboard content with one
// item in one or more formats, all placed in one transaction: a packed
// bitmap (CF_DIB, and for a picture with transparency also CF_DIBV5 and
// PNG) or a text (CF_TEXT and CF_UNICODETEXT). 1 on success, 0 on failure;
// neither reports anything itself.
#pragma once

#include <windows.h>
#include <stdint.h>

// Header length and image length of the CF_DIB block for a bitmap header;
// 0 when a length is negative or the block would not fit 32 bits. An
// uncompressed picture's image length is what its rows need.
int Clipboard_DibLengths(const BITMAPINFOHEADER* header, uint64_t* headerLength,
                         uint64_t* imageLength);

// Whether a plug-in's picture is whole: a header block of at least 40
// bytes, a known depth (1, 4, 8, 16, 24, 32), a width and height that fit,
// and, for rows laid out uncompressed, a pixel block that holds every row
// the header describes (the last row's padding may be missing).
int Clipboard_DibIsWhole(const void* header, SIZE_T headerSize, SIZE_T pixelsSize);

// Packs a locked BITMAPINFO and its locked pixel rows into one block and
// places it as CF_DIB, with CF_DIBV5 and PNG beside it when its 32-bit
// pixels carry alpha. The two sizes are what the platform reports for the
// plug-in's blocks: nothing past them is read, and what they lack stays zero.
// The number of formats placed (1, or 3 with alpha); 0 when none was.
int Quorlex_BitMap(const void* header, SIZE_T headerSize, const void* pixels, SIZE_T pixelsSize);

// Places `length` bytes of ANSI text as CF_TEXT and `wideLength` units of
// UTF-16 text as CF_UNICODETEXT, each with a terminating zero.
int Quorlex_Text(const char* text, SIZE_T length, const wchar_t* wide, SIZE_T wideLength);

// A new movable global block of `total` bytes holding `head` at its start
// and `body` at `bodyOffset`, zero everywhere else; null when it cannot be
// made. The pieces lie in order inside the block: headLength <= bodyOffset,
// bodyOffset + bodyLength <= total.
HGLOBAL Clipboard_Block(SIZE_T total, const void* head, SIZE_T headLength, SIZE_T bodyOffset,
                        const void* body, SIZE_T bodyLength);

// A block to place and its format.
struct ClipboardItem {
    UINT format;
    HGLOBAL block;
};

// For a packed CF_DIB whose 32-bit pixels carry alpha (BI_RGB, or bit masks
// 00FF0000 / 0000FF00 / 000000FF, and fourth bytes neither all 0 nor all
// 255): a CF_DIBV5 block with an alpha mask and the same rows, and a PNG
// block in the registered format "PNG". Otherwise, or when a block cannot be
// made, that item's block is null.
void Clipboard_TransparencyItems(HGLOBAL dib, uint64_t headerLength, uint64_t imageLength,
                                 ClipboardItem* dibV5, ClipboardItem* png);

// Empties the clipboard and places the items in one transaction; a null
// block is skipped. The clipboard is opened with a window of the program's
// own, and while another program holds it the open is retried for about a
// second. The items are placed whole or not at all: when one is refused,
// the clipboard is emptied again. Every block the clipboard did not accept
// is freed. 1 when every item with a block was placed.
int Clipboard_PlaceItems(ClipboardItem* items, int count);

// Opens the clipboard with `owner` (null: none), retrying for about a
// second while another program holds it: clipboard managers, the system's
// clipboard history and Wine's own clipboard thread open it for a moment
// after every change. 1 when it is open. Every reader and writer of the
// tree opens it this way.
int Clipboard_Open(HWND owner);
