// The BMP plug-in on any bytes: its information texts, its support test
// and its decode, from a file and from memory. A decoded picture's blocks
// must agree with their header, the plug-in may hold little beyond them,
// and a lock that fails is a failure, not an empty picture.
#include "check.h"
#include "clipboard/clipboard.h"
#include "format_plugins/common/spi_file.h"

#include <string.h>

extern "C" int GetPluginInfo(int infoNumber, LPSTR buffer, int bufferLength);
extern "C" int IsSupported(LPCSTR path, void* head);
extern "C" int GetPicture(LPCSTR source, SpiWord offset, unsigned flag, HLOCAL* header,
                          HLOCAL* pixels, SpiProgressProc progress, SpiWord data);

// Bytes the plug-in may hold beyond the two blocks it hands back.
constexpr size_t BMP_OWN_BYTES = 4096;

static void Fuzz_InfoTexts() {
    for (int number = -1; number <= 4; ++number) {
        for (int length : {1, 4, 255}) {
            char buffer[260];
            memset(buffer, 'x', sizeof buffer);
            GetPluginInfo(number, buffer, length);
            Fuzz_Require(buffer[0] == 'x' || memchr(buffer, '\0', length) != nullptr,
                         "an information text ends inside its buffer");
            Fuzz_Require(buffer[length] == 'x', "nothing is written past the buffer");
        }
    }
}

static void Fuzz_SupportTest(const uint8_t* data, size_t size) {
    uint8_t head[3073] = {};
    memcpy(head, data, size < 3072 ? size : 3072);
    IsSupported("input.bmp", head);
    IsSupported("input.bmp", head + 128);
}

// One decode; `failLock` makes that lock fail.
static void Fuzz_Decode(const uint8_t* data, size_t size, bool fromMemory, int failLock) {
    HLOCAL header = nullptr;
    HLOCAL pixels = nullptr;
    Fake_ResetPeak();
    Fake_FailLock(failLock);
    int result = fromMemory
                     ? GetPicture(reinterpret_cast<const char*>(data), static_cast<SpiWord>(size),
                                  1, &header, &pixels, nullptr, 0)
                     : GetPicture("input.bmp", 0, 0, &header, &pixels, nullptr, 0);
    Fake_FailLock(0);
    if (result == 0) {
        Fuzz_Require(failLock == 0, "a failed lock is reported");
        Fuzz_Require(header != nullptr && pixels != nullptr, "a decode hands back both blocks");
        Fuzz_Require(LocalSize(header) >= sizeof(BITMAPINFOHEADER), "a whole header");
        BITMAPINFOHEADER info;
        memcpy(&info, LocalLock(header), sizeof info);
        LocalUnlock(header);
        uint64_t headerLength = 0;
        uint64_t imageLength = 0;
        Fuzz_Require(info.biSize == 40, "a 40-byte header");
        Fuzz_Require(Clipboard_DibLengths(&info, &headerLength, &imageLength) == 1,
                     "the header describes a picture");
        Fuzz_Require(headerLength == LocalSize(header), "the header block is as long as it says");
        Fuzz_Require(imageLength == LocalSize(pixels), "the pixel block is as long as it says");
        Fuzz_Require(Fake_PeakBytes() <= LocalSize(header) + LocalSize(pixels) + BMP_OWN_BYTES,
                     "no more memory than the picture's own blocks");
    }
    LocalFree(header);
    LocalFree(pixels);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fake_SetFile("input.bmp", data, size);
    Fuzz_InfoTexts();
    Fuzz_SupportTest(data, size);
    for (bool fromMemory : {false, true}) {
        for (int failLock : {0, 1, 2}) {
            Fuzz_Decode(data, size, fromMemory, failLock);
        }
    }
    Fuzz_RequireReleased();
    return 0;
}
