// Backslashes to slashes, character by character in the ANSI code page.
#include "listing/listing.h"

int Util_SlashPath(char* text) {
    for (char* p = text; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\') {
            *p = '/';
        }
    }
    return 1;
}
