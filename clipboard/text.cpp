// Places a text on the clipboard as CF_TEXT and CF_UNICODETEXT.
#include "clipboard/clipboard.h"

int Quorlex_Text(const char* text, SIZE_T length, const wchar_t* wide, SIZE_T wideLength) {
    if (length >= SIZE_MAX / 2 || wideLength >= SIZE_MAX / 4) {
        return 0;
    }
    ClipboardItem items[2] = {
        {CF_TEXT, Clipboard_Block(length + 1, text, length, length, nullptr, 0)},
        {CF_UNICODETEXT,
         Clipboard_Block((wideLength + 1) * sizeof(wchar_t), wide, wideLength * sizeof(wchar_t),
                         wideLength * sizeof(wchar_t), nullptr, 0)},
    };
    if (items[0].block == nullptr) {
        if (items[1].block != nullptr) {
            GlobalFree(items[1].block);
        }
        return 0;
    }
    // Without its UTF-16 form the text is still placed; the system then makes
    // one from CF_TEXT.
    return Clipboard_PlaceItems(items, 2);
}
