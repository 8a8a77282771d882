// The command flow of one run: find the plug-in that supports the named
// file, then put the decoded picture or the archive's listing on the
// clipboard. The exit code says whether a plug-in took the file (1) or not
// (0).
#include "app/app.h"
#include "clipboard/clipboard.h"
#include "listing/listing.h"
#include "plugin/registry.h"
#include "plugin/spi.h"

// "Quorlex_BitMap()" and two double-byte characters, in code page 932.
static const char FAILURE_TEXT[] = "Quorlex_BitMap()\x8E\xB8\x94\x73";
constexpr UINT FAILURE_CODE_PAGE = 932;

// The failure text is code-page-932 bytes; shown as UTF-16 it reads right
// whatever the system's code page. The box has one button: how it was
// closed is not looked at.
static void App_ShowFailure() {
    wchar_t text[64];
    if (MultiByteToWideChar(FAILURE_CODE_PAGE, MB_ERR_INVALID_CHARS, FAILURE_TEXT, -1, text, 64) !=
        0) {
        (void)MessageBoxW(nullptr, text, L"", MB_OK);
    } else {
        (void)MessageBoxA(nullptr, FAILURE_TEXT, "", MB_OK);
    }
}

// Decodes the picture that starts `offset` bytes into the file with the
// image plug-in and places it as CF_DIB. 0 when the plug-in cannot decode
// it; 1 once it has, whatever follows.
static int App_Picture(HMODULE plugin, const char* path, SpiWord offset) {
    auto getPicture = reinterpret_cast<GetPictureProc>(Spi_Entry(plugin, "GetPicture"));
    if (getPicture == nullptr) {
        return 0;
    }
    HLOCAL headerHandle = nullptr;
    HLOCAL pixelHandle = nullptr;
    int failed = getPicture(path, offset, 0, &headerHandle, &pixelHandle, nullptr, 0);
    if (failed != 0 || headerHandle == nullptr || pixelHandle == nullptr) {
        if (headerHandle != nullptr) {
            LocalFree(headerHandle);
        }
        if (pixelHandle != nullptr) {
            LocalFree(pixelHandle);
        }
        return 0;
    }
    // A pixel block that yields no address (an empty one does not) supplies no
    // bytes; without its header the picture cannot be placed at all.
    void* header = LocalLock(headerHandle);
    void* pixels = LocalLock(pixelHandle);
    SIZE_T pixelsSize = pixels != nullptr ? LocalSize(pixelHandle) : 0;
    int placed =
        header != nullptr && Quorlex_BitMap(header, LocalSize(headerHandle), pixels, pixelsSize);
    if (!placed) {
        App_ShowFailure();
    }
    if (header != nullptr) {
        LocalUnlock(headerHandle);
    }
    if (pixels != nullptr) {
        LocalUnlock(pixelHandle);
    }
    LocalFree(headerHandle);
    LocalFree(pixelHandle);
    return 1;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandTail, int) {
    if (lstrcmpA(commandTail, "") == 0) {
        return 1;
    }
    // Neither result is looked at: without a registered folder or any
    // plug-in, Plugin_Find finds nothing and the run ends with 0.
    (void)Plugin_Init();
    (void)Plugin_Load(PLUGIN_DIR_ALL);

    DWORD size = FILE_HEAD_SIZE;
    char* head = Util_ReadFile(commandTail, &size);
    if (head == nullptr) {
        Plugin_Release();
        return 0;
    }
    int skip = 0;
    HMODULE plugin = Plugin_Find(commandTail, head, &skip);
    LocalFree(head);
    if (plugin == nullptr) {
        Plugin_Release();
        return 0;
    }
    // A plug-in that knew the file only HEAD_SKIP bytes in reads it from there.
    SpiWord offset = skip ? HEAD_SKIP : 0;
    int result = 1;
    PluginKind kind = Plugin_Kind(plugin);
    if (kind == PLUGIN_KIND_IMAGE) {
        result = App_Picture(plugin, commandTail, offset);
    } else if (kind == PLUGIN_KIND_ARCHIVE) {
        result = Archive_List(plugin, commandTail, offset);
    }
    Plugin_Release();
    return result;
}
