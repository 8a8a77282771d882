// The host's CF_DIB packing on any header and pixel blocks: a placed block
// is as long as its header says, holds the plug-in's bytes where they were
// and zeros where the plug-in gave none, and never reads past either block.
#include "check.h"
#include "clipboard/clipboard.h"

#include <string.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) {
        return 0;
    }
    // The first two bytes say how much of the rest is the header block (one
    // byte at least: the program never packs a header block it cannot lock);
    // each block is a copy of its own, so that reading past it is caught.
    size_t headerSize = 1 + (data[0] | data[1] << 8) % (size - 2);
    std::vector<uint8_t> header(data + 2, data + 2 + headerSize);
    std::vector<uint8_t> pixels(data + 2 + headerSize, data + size);
    BITMAPINFOHEADER info = {};
    memcpy(&info, header.data(), headerSize < sizeof info ? headerSize : sizeof info);
    uint64_t headerLength = 0;
    uint64_t imageLength = 0;
    int described = Clipboard_DibLengths(&info, &headerLength, &imageLength);

    int placed = Quorlex_BitMap(header.data(), header.size(),
                                pixels.empty() ? nullptr : pixels.data(), pixels.size());
    Fuzz_Require(!placed || described, "only a picture its header describes is placed");
    HANDLE block = Fake_ClipboardData(CF_DIB);
    Fuzz_Require((block != nullptr) == (placed != 0), "placed means on the clipboard");
    if (placed) {
        Fuzz_Require(GlobalSize(block) == headerLength + imageLength, "the block's length");
        const auto* bytes = static_cast<const uint8_t*>(GlobalLock(block));
        for (uint64_t i = 0; i < headerLength + imageLength; ++i) {
            uint64_t at = i < headerLength ? i : i - headerLength;
            const std::vector<uint8_t>& from = i < headerLength ? header : pixels;
            uint8_t expected = at < from.size() ? from[at] : 0;
            Fuzz_Require(bytes[i] == expected, "the plug-in's bytes, then zeros");
        }
        GlobalUnlock(block);
    }
    Fake_EmptyClipboard();
    Fuzz_RequireReleased();
    return 0;
}
