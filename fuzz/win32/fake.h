// What the fuzz harnesses ask of the Win32 stand-in: files made of their
// input, the code page, failures to inject, the clipboard's content, fake
// plug-in modules, and the counts of what is still held.
#pragma once

#include <windows.h>

// Makes `path` a file of `size` bytes at `bytes` (kept by the caller).
void Fake_SetFile(const char* path, const uint8_t* bytes, size_t size);
// The ANSI code page: 1252 (single bytes) or 932 (double-byte characters).
void Fake_SetCodePage(UINT codePage);
// The largest block a Local, Global or Heap allocation gives from now on
// (16 MiB unless set); larger ones fail, as on a system short of memory.
void Fake_SetLargestBlock(size_t bytes);
// The n-th LocalLock from now on fails (1 the next); 0 none.
void Fake_FailLock(int n);
// The block the clipboard holds in a format, or null.
HANDLE Fake_ClipboardData(UINT format);
// Frees what the clipboard holds.
void Fake_EmptyClipboard();

// Blocks (local, global and heap) and file handles not released yet.
int Fake_LiveBlocks();
int Fake_LiveFiles();
// The most bytes held in blocks at once since the last reset, and a reset.
size_t Fake_PeakBytes();
void Fake_ResetPeak();
// The largest single block asked for since the last reset.
size_t Fake_LargestBlock();
