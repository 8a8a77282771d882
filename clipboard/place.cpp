// Builds the block for the clipboard and hands it over. The block is freed
// here on every failure; once the clipboard accepts it, it is the clipboard's.
#include "clipboard/clipboard.h"

#include <string.h>

int Clipboard_Place(UINT format, SIZE_T total, const void* first, SIZE_T firstLength,
                    SIZE_T secondOffset, const void* second, SIZE_T secondLength) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE, total);
    if (block == nullptr) {
        return 0;
    }
    char* bytes = static_cast<char*>(GlobalLock(block));
    if (bytes == nullptr) {
        GlobalFree(block);
        return 0;
    }
    memcpy(bytes, first, firstLength);
    if (secondLength != 0) {
        memcpy(bytes + secondOffset, second, secondLength);
    }
    GlobalUnlock(block);

    if (!OpenClipboard(nullptr)) {
        GlobalFree(block);
        return 0;
    }
    // Emptying and closing are not looked at: whether the block was placed
    // is what SetClipboardData says.
    (void)EmptyClipboard();
    HANDLE placed = SetClipboardData(format, block);
    (void)CloseClipboard();
    if (placed == nullptr) {
        GlobalFree(block);
        return 0;
    }
    // The clipboard accepted the block: it is the clipboard's from here on.
    return 1;
}
