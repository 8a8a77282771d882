// The command tail: everything after the program name, used verbatim as the
// path of the file to handle. Only the space character separates; quotes in
// the tail are kept.
#include "app/app.h"

#include <string.h>

char* Startup_GetCommandTail(char* rawCommandLine) {
    char* p = rawCommandLine;
    if (*p == '"') {
        char* closing = strchr(p + 1, '"');
        if (closing == nullptr) {
            return rawCommandLine;
        }
        p = closing + 1;
    } else {
        while (*p != '\0' && *p != ' ') {
            ++p;
        }
    }
    while (*p == ' ') {
        ++p;
    }
    return p;
}
