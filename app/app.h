// The command front end: the process entry, the command tail and the path
// it names, wWinMain and the file-head reader.
#pragma once

#include <windows.h>

// Bytes of the target file read for the support test.
constexpr DWORD FILE_HEAD_SIZE = 3072;

// Where the command tail begins inside the raw command line; nothing copied.
wchar_t* Startup_GetCommandTail(wchar_t* rawCommandLine);

// The path a command tail names: the text between the quotes when the tail
// is one quoted path followed by nothing but spaces, else the whole tail.
// Returns where it starts and stores its length; nothing is changed.
const wchar_t* Startup_Unquote(const wchar_t* tail, int* length);

// The path in the ANSI code page, or, when the code page cannot spell it,
// the file's short path if the code page spells that. A new fixed local
// block the caller frees with LocalFree; null when neither is possible.
char* Startup_AnsiPath(const wchar_t* path, int length);

// Reads at most *sizeInOut bytes from the start of the file into a new
// fixed, zero-filled local block one byte longer, and stores the number of
// bytes read back into *sizeInOut. The caller frees the block with LocalFree.
char* Util_ReadFile(const wchar_t* path, DWORD* sizeInOut);

// Whether this run was handed the file by its partner program.
int Startup_WasHandedOver();
// When none of this program's plug-ins took the file at `path` and plug-in
// files of the other width were found: runs the partner program, the
// other width's build beside this one, on the same path and returns its
// exit code (0 or 1); -1 when there is no hand-over or the partner cannot
// be started or fails.
int Startup_HandOver(const wchar_t* path);

// The run for the file at `path` (UTF-16, NUL-terminated). Exit code: 1 or 0.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR path, int show);
