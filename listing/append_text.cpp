// The growing text block of the listing.
#include "listing/listing.h"

#include <string.h>

void Util_AppendText(ListingText* text, const char* piece, int n) {
    if (n < 0) {
        return;
    }
    SIZE_T size = text->block != nullptr ? GlobalSize(text->block) : 0;
    HGLOBAL block;
    if (size == 0) {
        // A new block; an old one that reports no size is left alone.
        block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(n) + 1);
        if (block == nullptr) {
            return;
        }
        text->block = block;
        text->length = 0;
    } else {
        block = GlobalReAlloc(text->block, size + static_cast<SIZE_T>(n), GMEM_MOVEABLE);
        if (block == nullptr) {
            return;
        }
        text->block = block;
    }
    char* bytes = static_cast<char*>(GlobalLock(block));
    if (bytes == nullptr) {
        return;
    }
    char* end = bytes + lstrlenA(bytes);
    int copied = 0;
    while (copied < n && piece[copied] != '\0') {
        end[copied] = piece[copied];
        ++copied;
    }
    end[copied] = '\0';
    text->length = static_cast<SIZE_T>(end - bytes) + static_cast<SIZE_T>(copied);
    (void)GlobalUnlock(block);
}
