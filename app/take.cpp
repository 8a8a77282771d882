// What the worker does with the plug-in that accepted the file: an image
// plug-in's picture placed as CF_DIB (with CF_DIBV5 and PNG when it has
// alpha), an archive plug-in's entries listed and placed as text. A plug-in
// that accepts the file but cannot decode or list it hands the file on to
// the next.
#include "app/app.h"
#include "clipboard/clipboard.h"
#include "listing/listing.h"

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

static void Startup_FreeBoth(HLOCAL header, HLOCAL pixels) {
    if (header != nullptr) {
        LocalFree(header);
    }
    if (pixels != nullptr) {
        LocalFree(pixels);
    }
}

// Decodes the picture with the accepting image plug-in and places it as
// CF_DIB. 0 when the plug-in cannot decode it (a picture that is not whole
// is not decoded); 1 once it has, whatever follows.
static int Startup_Picture(PluginSearch* search) {
    HLOCAL headerHandle = nullptr;
    HLOCAL pixelHandle = nullptr;
    int failed = 0;
    PluginCall call = Plugin_GetPicture(search, &headerHandle, &pixelHandle, &failed);
    Plugin_EndIfHeapBroken();
    if (call == PluginCall::Missing || failed != 0 || headerHandle == nullptr ||
        pixelHandle == nullptr) {
        Startup_FreeBoth(headerHandle, pixelHandle);
        return 0;
    }
    // A block that yields no address (an empty one does not) supplies no bytes.
    void* header = LocalLock(headerHandle);
    void* pixels = LocalLock(pixelHandle);
    SIZE_T headerSize = header != nullptr ? LocalSize(headerHandle) : 0;
    SIZE_T pixelsSize = pixels != nullptr ? LocalSize(pixelHandle) : 0;
    int whole = Clipboard_DibIsWhole(header, headerSize, pixelsSize);
    if (whole) {
        // Placing and the failure box take as long as they take.
        Plugin_Report(search, PluginStep::Place);
        if (!Quorlex_BitMap(header, headerSize, pixels, pixelsSize)) {
            Startup_ShowFailure();
        }
    }
    if (header != nullptr) {
        LocalUnlock(headerHandle);
    }
    if (pixels != nullptr) {
        LocalUnlock(pixelHandle);
    }
    Startup_FreeBoth(headerHandle, pixelHandle);
    return whole;
}

// Lists the archive with the accepting archive plug-in's entry records.
// None when the plug-in could not read the archive and the next plug-in is
// asked.
static WorkerOutcome Startup_Archive(PluginSearch* search) {
    HLOCAL entries = nullptr;
    int wideRecords = 0;
    int failed = 0;
    PluginCall call = Plugin_GetArchiveInfo(search, &entries, &wideRecords, &failed);
    Plugin_EndIfHeapBroken();
    if (call == PluginCall::Returned && failed != 0 && entries == nullptr) {
        // The plug-in could not read the archive: the clipboard keeps what it has.
        return WorkerOutcome::None;
    }
    // A block that yields no address lists no entries.
    const void* records = entries != nullptr ? LocalLock(entries) : nullptr;
    SIZE_T size = records != nullptr ? LocalSize(entries) : 0;
    Plugin_Report(search, PluginStep::Place);
    int placed = Archive_List(search->registry->path, records, size, wideRecords);
    if (records != nullptr) {
        LocalUnlock(entries);
    }
    if (entries != nullptr) {
        LocalFree(entries);
    }
    return placed ? WorkerOutcome::Listed : WorkerOutcome::NotListed;
}

WorkerOutcome Startup_Take(PluginSearch* search) {
    if (search->kind == PLUGIN_KIND_IMAGE) {
        return Startup_Picture(search) ? WorkerOutcome::Decoded : WorkerOutcome::None;
    }
    return Startup_Archive(search);
}
