// The ZIP plug-in on any bytes, in code pages 1252 and 932: its support test
// and its listing, from a file and from memory. A listing is an array of
// whole records closed by a zero one, every name ends inside its field, no
// allocation is larger than the file could fill, and a lock that fails is a
// failure.
#include "check.h"
#include "format_plugins/common/spi_file.h"

#include <string.h>

extern "C" int IsSupported(LPCSTR path, void* head);
extern "C" int GetArchiveInfo(LPCSTR source, SpiWord offset, unsigned flag, HLOCAL* entries);
extern "C" int GetArchiveInfoW(LPCWSTR source, SpiWord offset, unsigned flag, HLOCAL* entries);

// The end record with the longest comment, read whole to find it.
constexpr size_t ZIP_TAIL = 22 + 0xFFFF + 1;
constexpr size_t ZIP_SMALLEST_ENTRY = 46;

static void Fuzz_Entries(HLOCAL block, size_t size) {
    size_t length = LocalSize(block);
    Fuzz_Require(length % sizeof(ArchiveEntryInfo) == 0, "whole records");
    size_t records = length / sizeof(ArchiveEntryInfo);
    Fuzz_Require(records >= 1 && records - 1 <= size / ZIP_SMALLEST_ENTRY,
                 "no more records than the file holds");
    const auto* entries = static_cast<const ArchiveEntryInfo*>(LocalLock(block));
    for (size_t i = 0; i < records; ++i) {
        const ArchiveEntryInfo& e = entries[i];
        Fuzz_Require((e.method[0] == '\0') == (i + 1 == records), "one closing record, last");
        Fuzz_Require(memchr(e.path, '\0', sizeof e.path) != nullptr, "the path ends in its field");
        Fuzz_Require(memchr(e.filename, '\0', sizeof e.filename) != nullptr,
                     "the file name ends in its field");
    }
    LocalUnlock(block);
}

static void Fuzz_List(const uint8_t* data, size_t size, bool fromMemory, int failLock) {
    HLOCAL block = nullptr;
    Fake_ResetPeak();
    Fake_FailLock(failLock);
    int result = fromMemory ? GetArchiveInfo(reinterpret_cast<const char*>(data),
                                             static_cast<SpiWord>(size), 1, &block)
                            : GetArchiveInfo("input.zip", 0, 0, &block);
    Fake_FailLock(0);
    size_t records = (size / ZIP_SMALLEST_ENTRY + 1) * sizeof(ArchiveEntryInfo);
    size_t bound = size + 1 > ZIP_TAIL ? size + 1 : ZIP_TAIL;
    Fuzz_Require(Fake_LargestBlock() <= (records > bound ? records : bound),
                 "no allocation larger than the file can fill");
    if (result == 0) {
        Fuzz_Require(failLock == 0, "a failed lock is reported");
        Fuzz_Require(block != nullptr, "a listing hands back its records");
        Fuzz_Entries(block, size);
    }
    LocalFree(block);
}

// The wide records: whole, closed by a zero one, every name ending inside
// its field.
static void Fuzz_WideList(const uint8_t* data, size_t size) {
    HLOCAL block = nullptr;
    int result =
        GetArchiveInfoW(reinterpret_cast<LPCWSTR>(data), static_cast<SpiWord>(size), 1, &block);
    Fuzz_Require((result == 0) == (block != nullptr), "a listing hands back its records");
    if (block == nullptr) {
        return;
    }
    size_t length = LocalSize(block);
    Fuzz_Require(length % sizeof(ArchiveEntryInfoW) == 0, "whole wide records");
    size_t records = length / sizeof(ArchiveEntryInfoW);
    const auto* entries = static_cast<const ArchiveEntryInfoW*>(LocalLock(block));
    for (size_t i = 0; i < records; ++i) {
        const ArchiveEntryInfoW& e = entries[i];
        Fuzz_Require((e.method[0] == '\0') == (i + 1 == records), "one closing record, last");
        for (const wchar_t* field : {e.path, e.filename}) {
            int n = 0;
            while (n < SPI_NAME_FIELD && field[n] != 0) {
                ++n;
            }
            Fuzz_Require(n < SPI_NAME_FIELD, "a name ends in its field");
        }
    }
    LocalUnlock(block);
    LocalFree(block);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fake_SetFile("input.zip", data, size);
    for (UINT codePage : {1252u, 932u}) {
        Fake_SetCodePage(codePage);
        uint8_t head[3073] = {};
        memcpy(head, data, size < 3072 ? size : 3072);
        IsSupported("input.zip", head);
        for (bool fromMemory : {false, true}) {
            for (int failLock : {0, 1}) {
                Fuzz_List(data, size, fromMemory, failLock);
            }
        }
        Fuzz_WideList(data, size);
    }
    Fuzz_RequireReleased();
    return 0;
}
