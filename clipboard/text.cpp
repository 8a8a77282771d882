// Places a text on the clipboard as CF_TEXT.
#include "clipboard/clipboard.h"

int Quorlex_Text(const char* text, int length) {
    if (length < 0) {
        return 0;
    }
    SIZE_T n = static_cast<SIZE_T>(length);
    return Clipboard_Place(CF_TEXT, n + 1, text, n, 0, nullptr, 0);
}
