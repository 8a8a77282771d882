// Reads back what is on the clipboard and says what it is: for CF_DIB the
// size, width, height and bit depth, written out as a .bmp file a person can
// open; for CF_TEXT the text itself. Used by the demo.
// Usage: clipread OUTPUT.bmp   (exit code 0 when it found either format)
//        clipread --unicode     prints CF_UNICODETEXT in UTF-8
//        clipread --png OUT     writes the registered "PNG" format to OUT
//        clipread --sentinel    puts "clipboard sentinel" on the clipboard as
//                               CF_TEXT, so that a run that leaves the
//                               clipboard alone can be told from one that
//                               does not
#include "clipboard/clipboard.h"

#include <stdio.h>
#include <string.h>

static int ClipRead_Dib(HANDLE data, const char* outPath) {
    SIZE_T size = GlobalSize(data);
    const auto* block = static_cast<const uint8_t*>(GlobalLock(data));
    if (block == nullptr || size < sizeof(BITMAPINFOHEADER)) {
        printf("CF_DIB: unreadable block of %lu bytes\n", static_cast<unsigned long>(size));
        return 1;
    }
    BITMAPINFOHEADER info;
    memcpy(&info, block, sizeof info);
    uint64_t headerLength = 0;
    uint64_t imageLength = 0;
    if (!Clipboard_DibLengths(&info, &headerLength, &imageLength)) {
        printf("format:  CF_DIB, %lu bytes, whose header describes no picture\n",
               static_cast<unsigned long>(size));
        GlobalUnlock(data);
        return 1;
    }
    printf("format:  CF_DIB, %lu bytes\n", static_cast<unsigned long>(size));
    printf("width:   %ld\nheight:  %ld%s\nbits:    %u\n", static_cast<long>(info.biWidth),
           static_cast<long>(info.biHeight), info.biHeight < 0 ? " (top-down)" : "",
           info.biBitCount);

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfSize = static_cast<DWORD>(sizeof file + size);
    file.bfOffBits = static_cast<DWORD>(sizeof file + headerLength);
    FILE* out = fopen(outPath, "wb");
    int ok = out != nullptr && fwrite(&file, sizeof file, 1, out) == 1 &&
             fwrite(block, 1, size, out) == size;
    if (out != nullptr) {
        ok = fclose(out) == 0 && ok;
    }
    GlobalUnlock(data);
    if (!ok) {
        printf("could not write %s\n", outPath);
        return 1;
    }
    printf("written: %s\n", outPath);
    return 0;
}

static int ClipRead_Text(HANDLE data) {
    const char* text = static_cast<const char*>(GlobalLock(data));
    if (text == nullptr) {
        return 1;
    }
    printf("format:  CF_TEXT, %lu bytes\n\n", static_cast<unsigned long>(strlen(text)));
    fwrite(text, 1, strlen(text), stdout);
    printf("\n");
    GlobalUnlock(data);
    return 0;
}

// CF_UNICODETEXT as UTF-8, as the text a reader sees.
static int ClipRead_Unicode() {
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const wchar_t* text = data != nullptr ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
    if (text == nullptr) {
        printf("the clipboard holds no CF_UNICODETEXT\n");
        return 1;
    }
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    char* utf8 = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, length > 0 ? length : 1));
    int ok = utf8 != nullptr && length > 0 &&
             WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, length, nullptr, nullptr) == length;
    if (ok) {
        fwrite(utf8, 1, static_cast<size_t>(length - 1), stdout);
    }
    if (utf8 != nullptr) {
        HeapFree(GetProcessHeap(), 0, utf8);
    }
    GlobalUnlock(data);
    return ok ? 0 : 1;
}

// The registered "PNG" format, written out as it is.
static int ClipRead_Png(const char* outPath) {
    UINT format = RegisterClipboardFormatW(L"PNG");
    HANDLE data = format != 0 ? GetClipboardData(format) : nullptr;
    const auto* png = data != nullptr ? static_cast<const uint8_t*>(GlobalLock(data)) : nullptr;
    if (png == nullptr) {
        printf("the clipboard holds no PNG\n");
        return 1;
    }
    SIZE_T size = GlobalSize(data);
    FILE* out = fopen(outPath, "wb");
    int ok = out != nullptr && fwrite(png, 1, size, out) == size;
    if (out != nullptr) {
        ok = fclose(out) == 0 && ok;
    }
    GlobalUnlock(data);
    if (!ok) {
        printf("could not write %s\n", outPath);
    }
    return ok ? 0 : 1;
}

static int ClipRead_PlaceSentinel() {
    static const char SENTINEL[] = "clipboard sentinel";
    ClipboardItem item = {CF_TEXT, Clipboard_Block(sizeof SENTINEL, SENTINEL, sizeof SENTINEL,
                                                   sizeof SENTINEL, nullptr, 0)};
    if (item.block == nullptr || !Clipboard_PlaceItems(&item, 1)) {
        printf("the sentinel could not be placed\n");
        return 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 2 && strcmp(argv[1], "--sentinel") == 0) {
        return ClipRead_PlaceSentinel();
    }
    if (argc == 3 && strcmp(argv[1], "--png") == 0) {
        if (!Clipboard_Open(nullptr)) {
            printf("the clipboard cannot be opened\n");
            return 1;
        }
        int result = ClipRead_Png(argv[2]);
        CloseClipboard();
        return result;
    }
    if (argc == 2 && strcmp(argv[1], "--unicode") == 0) {
        if (!Clipboard_Open(nullptr)) {
            printf("the clipboard cannot be opened\n");
            return 1;
        }
        int result = ClipRead_Unicode();
        CloseClipboard();
        return result;
    }
    if (argc != 2) {
        fprintf(stderr, "usage: clipread OUTPUT.bmp\n");
        return 2;
    }
    if (!Clipboard_Open(nullptr)) {
        printf("the clipboard cannot be opened\n");
        return 1;
    }
    int result = 1;
    HANDLE data = nullptr;
    if ((data = GetClipboardData(CF_DIB)) != nullptr) {
        result = ClipRead_Dib(data, argv[1]);
    } else if ((data = GetClipboardData(CF_TEXT)) != nullptr) {
        result = ClipRead_Text(data);
    } else {
        printf("the clipboard holds neither CF_DIB nor CF_TEXT\n");
    }
    CloseClipboard();
    return result;
}
