// The growing text block of the listing. The block's capacity grows
// geometrically and the text's length is kept beside it, so a listing costs
// time in proportion to its length.
#include "listing/listing.h"

#include <string.h>

void Util_AppendText(ListingText* text, const char* piece, int n) {
    if (n < 0) {
        return;
    }
    SIZE_T copied = 0;
    while (copied < static_cast<SIZE_T>(n) && piece[copied] != '\0') {
        ++copied;
    }
    SIZE_T size = text->block != nullptr ? GlobalSize(text->block) : 0;
    if (size == 0) {
        // A new block; an old one that reports no size is left alone.
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(n) + 1);
        if (block == nullptr) {
            return;
        }
        text->block = block;
        text->length = 0;
    } else if (text->length + copied + 1 > size) {
        SIZE_T needed = text->length + copied + 1;
        SIZE_T grown = size <= SIZE_MAX / 2 && size * 2 > needed ? size * 2 : needed;
        HGLOBAL block = GlobalReAlloc(text->block, grown, GMEM_MOVEABLE);
        if (block == nullptr && grown != needed) {
            block = GlobalReAlloc(text->block, needed, GMEM_MOVEABLE);
        }
        if (block == nullptr) {
            return;
        }
        text->block = block;
    }
    char* bytes = static_cast<char*>(GlobalLock(text->block));
    if (bytes == nullptr) {
        return;
    }
    memcpy(bytes + text->length, piece, copied);
    text->length += copied;
    bytes[text->length] = '\0';
    GlobalUnlock(text->block);
}
