// A stand-in for the few Win32 declarations that the shipped plug-ins and the
// host's DIB packing and listing use, so that their sources compile
// unchanged on Linux for the fuzz targets. Its calls work on memory: local
// and global blocks, files registered by the harness, one clipboard, and a
// code page of 1252 or 932. Every block and handle is counted, so that a
// harness can check that all were released.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

// The record layouts of plugin/spi.h: x64's, or with QX_FUZZ_X86 x86's
// (with this machine's 64-bit pointers; only the records and the arithmetic
// of the layout are the x86 program's).
#ifndef QX_FUZZ_X86
#define _WIN64 1
#endif
#define QX_STAND_IN 1
#define WINAPI
#define CALLBACK
#define __declspec(x)

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef int64_t LONGLONG;
typedef unsigned int UINT;
#ifdef _WIN64
typedef intptr_t LONG_PTR;
#else
typedef int32_t LONG_PTR;
#endif
typedef uintptr_t ULONG_PTR;
typedef size_t SIZE_T;
typedef char* LPSTR;
typedef const char* LPCSTR;
// Built with -fshort-wchar: wchar_t is a UTF-16 unit, as on Windows.
typedef wchar_t WCHAR;
typedef wchar_t* LPWSTR;
typedef const wchar_t* LPCWSTR;
typedef void* HANDLE;
typedef HANDLE HLOCAL;
typedef HANDLE HGLOBAL;
typedef struct Win32Module* HMODULE;
typedef HMODULE HINSTANCE;
typedef struct Win32Window* HWND;
typedef intptr_t (*FARPROC)();

#define TRUE 1
#define FALSE 0
#define MAXDWORD 0xFFFFFFFFu
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))

#define LMEM_FIXED 0x0000
#define LMEM_MOVEABLE 0x0002
#define LMEM_ZEROINIT 0x0040
#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GMEM_DDESHARE 0x2000

#define GENERIC_READ 0x80000000u
#define FILE_SHARE_READ 0x00000001
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_NORMAL 0x80
#define FILE_BEGIN 0

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001

#define CF_TEXT 1
#define CF_DIB 8
#define CF_UNICODETEXT 13
#define CF_DIBV5 17
#define HWND_MESSAGE (reinterpret_cast<HWND>(static_cast<intptr_t>(-3)))
#define BI_RGB 0
#define BI_BITFIELDS 3

typedef union {
    struct {
        DWORD LowPart;
        LONG HighPart;
    };
    LONGLONG QuadPart;
} LARGE_INTEGER;

typedef struct {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER;

typedef struct {
    DWORD bV5Size;
    LONG bV5Width;
    LONG bV5Height;
    WORD bV5Planes;
    WORD bV5BitCount;
    DWORD bV5Compression;
    DWORD bV5SizeImage;
    LONG bV5XPelsPerMeter;
    LONG bV5YPelsPerMeter;
    DWORD bV5ClrUsed;
    DWORD bV5ClrImportant;
    DWORD bV5RedMask;
    DWORD bV5GreenMask;
    DWORD bV5BlueMask;
    DWORD bV5AlphaMask;
    DWORD bV5CSType;
    LONG bV5Endpoints[9];
    DWORD bV5GammaRed;
    DWORD bV5GammaGreen;
    DWORD bV5GammaBlue;
    DWORD bV5Intent;
    DWORD bV5ProfileData;
    DWORD bV5ProfileSize;
    DWORD bV5Reserved;
} BITMAPV5HEADER;

#define LCS_GM_IMAGES 4

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
void* LocalLock(HLOCAL block);
BOOL LocalUnlock(HLOCAL block);
SIZE_T LocalSize(HLOCAL block);
HLOCAL LocalFree(HLOCAL block);
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
HGLOBAL GlobalReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags);
void* GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
SIZE_T GlobalSize(HGLOBAL block);
HGLOBAL GlobalFree(HGLOBAL block);
HANDLE GetProcessHeap();
void* HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, void* bytes);

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD attributes, HANDLE templateFile);
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD attributes, HANDLE templateFile);
BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size);
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER to, LARGE_INTEGER* at, DWORD method);
BOOL ReadFile(HANDLE file, void* bytes, DWORD length, DWORD* read, void* overlapped);
BOOL CloseHandle(HANDLE handle);

int lstrlenA(LPCSTR text);
int lstrlenW(LPCWSTR text);
LPSTR lstrcpynA(LPSTR to, LPCSTR from, int length);
LPSTR CharNextA(LPCSTR text);
BOOL IsDBCSLeadByte(BYTE byte);
BOOL IsDBCSLeadByteEx(UINT codePage, BYTE byte);
UINT GetACP();
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, wchar_t* wide,
                        int wideLength);
DWORD GetTickCount();
void Sleep(DWORD milliseconds);
int WideCharToMultiByte(UINT codePage, DWORD flags, const wchar_t* wide, int wideLength, LPSTR text,
                        int length, LPCSTR defaultChar, BOOL* usedDefault);
int wsprintfA(LPSTR out, LPCSTR format, ...);

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, void* menu, HINSTANCE instance,
                     void* param);
BOOL DestroyWindow(HWND window);
UINT RegisterClipboardFormatW(LPCWSTR name);
BOOL OpenClipboard(HWND owner);
BOOL EmptyClipboard();
HANDLE SetClipboardData(UINT format, HANDLE data);
BOOL CloseClipboard();

// Declared for plugin/spi.h's look-up, which no fuzz target calls.
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
