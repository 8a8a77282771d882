// The command flow of one run: ask the plug-ins about the named file, one
// at a time, until one of them puts its picture or its archive's listing on
// the clipboard. A plug-in that accepts the file but cannot decode or list
// it hands the file on to the next. The exit code says whether a plug-in
// took the file (1) or not (0).
#include "app/app.h"
#include "clipboard/clipboard.h"
#include "listing/listing.h"
#include "plugin/registry.h"

// "Quorlex_BitMap()" and two double-byte characters, in code page 932.
static const char FAILURE_TEXT[] = "Quorlex_BitMap()\x8E\xB8\x94\x73";
constexpr UINT FAILURE_CODE_PAGE = 932;

// The failure text is code-page-932 bytes; shown as UTF-16 it reads right
// whatever the system's code page. The box has one button: how it was
// closed is not looked at.
static void Startup_ShowFailure() {
    wchar_t text[64];
    if (MultiByteToWideChar(FAILURE_CODE_PAGE, MB_ERR_INVALID_CHARS, FAILURE_TEXT, -1, text, 64) !=
        0) {
        (void)MessageBoxW(nullptr, text, L"", MB_OK);
    } else {
        (void)MessageBoxA(nullptr, FAILURE_TEXT, "", MB_OK);
    }
}

// Decodes the picture with the accepting image plug-in and places it as
// CF_DIB. 0 when the plug-in cannot decode it; 1 once it has, whatever
// follows.
static int Startup_Picture() {
    HLOCAL headerHandle = nullptr;
    HLOCAL pixelHandle = nullptr;
    int failed = 0;
    PluginCall call = Plugin_GetPicture(&headerHandle, &pixelHandle, &failed);
    if (call == PluginCall::Faulted) {
        // Whatever the plug-in handed back before it faulted is not trusted.
        return 0;
    }
    if (call == PluginCall::Missing || failed != 0 || headerHandle == nullptr ||
        pixelHandle == nullptr) {
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
        Startup_ShowFailure();
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

// What the accepting plug-in made of the file: 1 or 0 to end the run with,
// or -1 when it could not decode or list it and the next plug-in is asked.
static int Startup_Take() {
    switch (g_plugins.kind) {
    case PLUGIN_KIND_IMAGE:
        return Startup_Picture() ? 1 : -1;
    case PLUGIN_KIND_ARCHIVE:
        switch (Archive_List(g_plugins.path)) {
        case ListingResult::Placed:
            return 1;
        case ListingResult::NotPlaced:
            return 0;
        case ListingResult::NotRead:
            return -1;
        }
        return -1;
    default:
        // A plug-in of neither kind takes the file and places nothing.
        return 1;
    }
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR path, int) {
    if (path[0] == L'\0') {
        return 1;
    }
    DWORD size = FILE_HEAD_SIZE;
    char* head = Util_ReadFile(path, &size);
    if (head == nullptr) {
        return 0;
    }
    // ANSI plug-ins get the path in the code page; null when it has no
    // spelling there, and then only plug-ins with wide entry points can help.
    char* ansiPath = Startup_AnsiPath(path, lstrlenW(path));
    // Neither result is looked at: with no folder and no plug-in the search
    // finds nothing and the run ends with 0.
    (void)Plugin_Init();
    (void)Plugin_Load();
    Plugin_StartSearch(path, ansiPath, head);
    int result = 0;
    while (Plugin_Next()) {
        int taken = Startup_Take();
        if (taken >= 0) {
            result = taken;
            break;
        }
    }
    Plugin_Release();
    if (ansiPath != nullptr) {
        LocalFree(ansiPath);
    }
    LocalFree(head);
    return result;
}
