// The command flow of one run: ask the plug-ins about the named file, one
// at a time, until one of them puts its picture or its archive's listing on
// the clipboard. A plug-in that accepts the file but cannot decode or list
// it hands the file on to the next. The exit code says whether a plug-in
// took the file (1) or not (0).
#include "app/app.h"
#include "clipboard/clipboard.h"
#include "listing/listing.h"
#include "plugin/asker.h"
#include "plugin/search.h"

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
// CF_DIB. 0 when the plug-in cannot decode it (a picture that is not whole
// is not decoded); 1 once it has, whatever follows.
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
    // A block that yields no address (an empty one does not) supplies no bytes.
    void* header = LocalLock(headerHandle);
    void* pixels = LocalLock(pixelHandle);
    SIZE_T headerSize = header != nullptr ? LocalSize(headerHandle) : 0;
    SIZE_T pixelsSize = pixels != nullptr ? LocalSize(pixelHandle) : 0;
    int whole = Clipboard_DibIsWhole(header, headerSize, pixelsSize);
    if (whole && !Quorlex_BitMap(header, headerSize, pixels, pixelsSize)) {
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
    return whole;
}

// Lists the archive with the accepting archive plug-in's entry records. 1
// when the listing was placed, 0 when the clipboard refused it, -1 when the
// plug-in could not read the archive and the next plug-in is asked.
static int Startup_Archive() {
    HLOCAL entries = nullptr;
    int wideRecords = 0;
    int failed = 0;
    PluginCall call = Plugin_GetArchiveInfo(&entries, &wideRecords, &failed);
    if (call == PluginCall::Faulted) {
        // Whatever the plug-in handed back before it faulted is not trusted.
        return -1;
    }
    if (call == PluginCall::Returned && failed != 0 && entries == nullptr) {
        // The plug-in could not read the archive: the clipboard keeps what it has.
        return -1;
    }
    // A block that yields no address lists no entries.
    const void* records = entries != nullptr ? LocalLock(entries) : nullptr;
    SIZE_T size = records != nullptr ? LocalSize(entries) : 0;
    int placed = Archive_List(g_search.path, records, size, wideRecords);
    if (records != nullptr) {
        LocalUnlock(entries);
    }
    if (entries != nullptr) {
        LocalFree(entries);
    }
    return placed;
}

// What the accepting plug-in made of the file: 1 or 0 to end the run with,
// or -1 when it could not decode or list it and the next plug-in is asked.
static int Startup_Take() {
    if (g_search.kind == PLUGIN_KIND_IMAGE) {
        return Startup_Picture() ? 1 : -1;
    }
    return Startup_Archive();
}

// What the run ends with: -1 until a plug-in took the file.
static int g_taken = -1;

// The search, on the asking thread. After a plug-in was lost with the
// thread that asked it, it runs again on a new one and goes on with the
// next plug-in; once a plug-in took the file, only the release is left.
static void Startup_Ask() {
    while (g_taken < 0 && Plugin_Next()) {
        g_taken = Startup_Take();
    }
    Plugin_Release();
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
    (void)Plugin_ListFiles();
    Plugin_StartSearch(path, ansiPath, head);
    // Whether the search was finished or cut short, g_taken says what it found.
    (void)Asker_Run(Startup_Ask);
    Plugin_Release();
    if (g_taken < 0) {
        g_taken = Startup_HandOver(path);
    }
    if (ansiPath != nullptr) {
        LocalFree(ansiPath);
    }
    LocalFree(head);
    return g_taken > 0 ? 1 : 0;
}
