// What the worker does with the plug-in that accepted the file: an image
// plug-in's picture placed as CF_DIB (with CF_DIBV5 and PNG when it has
// alpha), an archive plug-in's entries listed and placed as text. A plug-in
// that accepts the file but cannot decode or list it hands the file on to
// the next. The decode or listing, the placing and the failure box are each
// reported as a step of their own: the run gives each its own limit.
#include "app/app.h"
#include "clipboard/clipboard.h"
#include "listing/listing.h"

#include <string.h>

// "Quorlex_BitMap()" and two double-byte characters, in code page 932.
static const char FAILURE_TEXT[] = "Quorlex_BitMap()\x8E\xB8\x94\x73";
constexpr UINT FAILURE_CODE_PAGE = 932;

// The failure text is code-page-932 bytes; shown as UTF-16 it reads right
// whatever the system's code page. The box has one button: how it was
// closed is not looked at.
static void Worker_ShowFailure() {
    wchar_t text[64];
    if (MultiByteToWideChar(FAILURE_CODE_PAGE, MB_ERR_INVALID_CHARS, FAILURE_TEXT, -1, text, 64) !=
        0) {
        (void)MessageBoxW(nullptr, text, L"", MB_OK);
    } else {
        (void)MessageBoxA(nullptr, FAILURE_TEXT, "", MB_OK);
    }
}

static void Worker_FreeBoth(HLOCAL header, HLOCAL pixels) {
    if (header != nullptr) {
        LocalFree(header);
    }
    if (pixels != nullptr) {
        LocalFree(pixels);
    }
}

// The bytes of the CF_DIB a whole picture is placed as.
static uint64_t Worker_DibBytes(const void* header) {
    BITMAPINFOHEADER info;
    memcpy(&info, header, sizeof info);
    uint64_t headerLength = 0;
    uint64_t imageLength = 0;
    return Clipboard_DibLengths(&info, &headerLength, &imageLength) ? headerLength + imageLength
                                                                    : 0;
}

// The entry records up to the closing one, within the block.
static int32_t Worker_Entries(const void* records, SIZE_T size, int wideRecords) {
    SIZE_T record = wideRecords ? sizeof(ArchiveEntryInfoW) : sizeof(ArchiveEntryInfo);
    int32_t count = 0;
    for (SIZE_T at = 0; at + record <= size && static_cast<const char*>(records)[at] != '\0';
         at += record) {
        ++count;
    }
    return count;
}

// Reports the decode's return: the plug-in's result and, for a whole
// picture, its size and depth.
static void Worker_ReportPicture(const PluginReport* report, int result, const void* header,
                                 int whole) {
    BITMAPINFOHEADER info = {};
    if (whole) {
        memcpy(&info, header, sizeof info);
    }
    Plugin_ReturnSized(report, PluginStep::Decode, result, info.biWidth, info.biHeight,
                       info.biBitCount);
}

// Decodes the picture with the accepting image plug-in and places it as
// CF_DIB. 0 when the plug-in cannot decode it (a picture that is not whole
// is not decoded); 1 once it has, whatever follows.
static int Worker_Picture(PluginSearch* search) {
    HLOCAL headerHandle = nullptr;
    HLOCAL pixelHandle = nullptr;
    int failed = 0;
    const PluginReport* report = &search->report;
    PluginCall call =
        Plugin_GetPicture(search->module, report, search->input, Plugin_Offset(search),
                          &headerHandle, &pixelHandle, &failed);
    Plugin_EndIfHeapBroken();
    if (call != PluginCall::Returned || failed != 0 || headerHandle == nullptr ||
        pixelHandle == nullptr) {
        if (call == PluginCall::Returned) {
            Worker_ReportPicture(report, failed != 0 ? failed : SPI_READ_ERROR, nullptr, 0);
        }
        Worker_FreeBoth(headerHandle, pixelHandle);
        return 0;
    }
    // A block that yields no address (an empty one does not) supplies no bytes.
    void* header = LocalLock(headerHandle);
    void* pixels = LocalLock(pixelHandle);
    SIZE_T headerSize = header != nullptr ? LocalSize(headerHandle) : 0;
    SIZE_T pixelsSize = pixels != nullptr ? LocalSize(pixelHandle) : 0;
    int whole = Clipboard_DibIsWhole(header, headerSize, pixelsSize);
    Worker_ReportPicture(report, failed, header, whole);
    if (whole) {
        Plugin_Begin(report, PluginStep::Place);
        int placed = Quorlex_BitMap(header, headerSize, pixels, pixelsSize);
        Plugin_ReturnSized(report, PluginStep::Place, placed, 0,
                           static_cast<int32_t>(Worker_DibBytes(header)), 0);
        if (!placed) {
            Plugin_Begin(report, PluginStep::Box);
            Worker_ShowFailure();
            Plugin_Return(report, PluginStep::Box, 1);
        }
    }
    if (header != nullptr) {
        LocalUnlock(headerHandle);
    }
    if (pixels != nullptr) {
        LocalUnlock(pixelHandle);
    }
    Worker_FreeBoth(headerHandle, pixelHandle);
    return whole;
}

// Lists the archive with the accepting archive plug-in's entry records.
// None when the plug-in could not read the archive and the next plug-in is
// asked.
static WorkerOutcome Worker_Archive(PluginSearch* search) {
    HLOCAL entries = nullptr;
    int wideRecords = 0;
    int failed = 0;
    const PluginReport* report = &search->report;
    PluginCall call = Plugin_GetArchiveInfo(search->module, report, search->input,
                                            Plugin_Offset(search), &entries, &wideRecords, &failed);
    Plugin_EndIfHeapBroken();
    if (call == PluginCall::NotCalled) {
        return WorkerOutcome::None;
    }
    // A plug-in that could not read the archive leaves the clipboard as it is.
    int listed = call == PluginCall::Missing || failed == 0 || entries != nullptr;
    // A block that yields no address lists no entries.
    const void* records = entries != nullptr ? LocalLock(entries) : nullptr;
    SIZE_T size = records != nullptr ? LocalSize(entries) : 0;
    Plugin_ReturnSized(report, PluginStep::List, failed, listed,
                       Worker_Entries(records, size, wideRecords), 0);
    if (!listed) {
        return WorkerOutcome::None;
    }
    Plugin_Begin(report, PluginStep::Place);
    // CF_TEXT and CF_UNICODETEXT, or nothing.
    int placed = Archive_List(search->input->path, records, size, wideRecords);
    Plugin_Return(report, PluginStep::Place, placed ? 2 : 0);
    if (records != nullptr) {
        LocalUnlock(entries);
    }
    if (entries != nullptr) {
        LocalFree(entries);
    }
    return placed ? WorkerOutcome::Listed : WorkerOutcome::NotListed;
}

WorkerOutcome Worker_Take(PluginSearch* search) {
    if (search->kind == PLUGIN_KIND_IMAGE) {
        return Worker_Picture(search) ? WorkerOutcome::Decoded : WorkerOutcome::None;
    }
    return Worker_Archive(search);
}
