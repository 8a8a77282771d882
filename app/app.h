// The command front end: the process entry, the command tail, WinMain and
// the file-head reader.
#pragma once

#include <windows.h>

// Bytes of the target file read for the support test.
constexpr DWORD FILE_HEAD_SIZE = 3072;

// Where the command tail begins inside the raw command line; nothing copied.
char* Startup_GetCommandTail(char* rawCommandLine);

// Reads at most *sizeInOut bytes from the start of the file into a new
// fixed, zero-filled local block one byte longer, and stores the number of
// bytes read back into *sizeInOut. The caller frees the block with LocalFree.
char* Util_ReadFile(const char* path, DWORD* sizeInOut);

// Exit code of the run: 1 or 0.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandTail, int show);
