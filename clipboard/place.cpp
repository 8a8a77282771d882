// Builds blocks for the clipboard and hands them over. A block is freed
// here on every failure; once the clipboard accepts it, it is the
// clipboard's. Clipboard managers and the system's clipboard history open
// the clipboard for a moment after every change, so a busy clipboard is
// waited for before the hand-over fails.
#include "clipboard/clipboard.h"

#include <string.h>

// How long a busy clipboard is waited for, and the pause between tries.
constexpr DWORD CLIPBOARD_WAIT_MS = 1000;
constexpr DWORD CLIPBOARD_RETRY_MS = 15;

HGLOBAL Clipboard_Block(SIZE_T total, const void* head, SIZE_T headLength, SIZE_T bodyOffset,
                        const void* body, SIZE_T bodyLength) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, total);
    if (block == nullptr) {
        return nullptr;
    }
    char* bytes = static_cast<char*>(GlobalLock(block));
    if (bytes == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    // Only what no piece covers is zeroed: a picture's pixels are written once.
    if (headLength != 0) {
        memcpy(bytes, head, headLength);
    }
    memset(bytes + headLength, 0, bodyOffset - headLength);
    if (bodyLength != 0) {
        memcpy(bytes + bodyOffset, body, bodyLength);
    }
    memset(bytes + bodyOffset + bodyLength, 0, total - bodyOffset - bodyLength);
    GlobalUnlock(block);
    // The block goes to the caller, who places or frees it.
    return block;
}

int Clipboard_Open(HWND owner) {
    DWORD start = GetTickCount();
    while (!OpenClipboard(owner)) {
        if (GetTickCount() - start >= CLIPBOARD_WAIT_MS) {
            return 0;
        }
        Sleep(CLIPBOARD_RETRY_MS);
    }
    return 1;
}

int Clipboard_PlaceItems(ClipboardItem* items, int count) {
    // A message-only window owns the clipboard: it is never shown. Without
    // it the clipboard is opened with no owner, and placing may then fail;
    // the run goes on either way.
    HWND owner = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 nullptr, nullptr);
    int placed = 0;
    if (Clipboard_Open(owner)) {
        // Emptying and closing are not looked at: whether a block was placed
        // is what SetClipboardData says.
        (void)EmptyClipboard();
        placed = 1;
        for (int i = 0; i < count && placed; ++i) {
            if (items[i].block == nullptr) {
                continue;
            }
            if (SetClipboardData(items[i].format, items[i].block)) {
                // The clipboard accepted the block: it is the clipboard's from here on.
                items[i].block = nullptr;
            } else {
                placed = 0;
            }
        }
        if (!placed) {
            // Placed whole or not at all: what was accepted is taken back.
            (void)EmptyClipboard();
        }
        (void)CloseClipboard();
    }
    for (int i = 0; i < count; ++i) {
        if (items[i].block != nullptr) {
            GlobalFree(items[i].block);
            items[i].block = nullptr;
        }
    }
    if (owner != nullptr) {
        // The window only held the clipboard open: whether it is gone does not matter.
        (void)DestroyWindow(owner);
    }
    return placed;
}
