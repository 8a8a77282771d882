// Writes the seed corpus of every fuzz target: the pictures, archives, DIB
// blocks and entry blocks the tests know, good and hostile, one file each.
// Usage: make_seeds OUT_DIR (which holds bmp/, zip/, dib/ and listing/).
#include <windows.h>

#include "plugin/spi.h"
#include "draw.h"
#include "tests/support/records.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

std::string g_out;

void Seed(const char* target, const char* name, const std::string& bytes) {
    std::string path = g_out + "/" + target + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        fprintf(stderr, "cannot write %s\n", path.c_str());
        exit(1);
    }
    fclose(f);
}

std::string InfoHeader(uint32_t size, int32_t width, int32_t height, uint16_t bits,
                       uint32_t compression, uint32_t clrUsed) {
    return Test_InfoHeader(size, width, height, bits, compression, clrUsed);
}

// A bitmap file: header, table (or masks), pixels; `offBits` 0 puts the
// pixels right after the table.
std::string Bmp(const std::string& info, const std::string& table, const std::string& pixels,
                uint32_t offBits = 0) {
    uint32_t at = offBits ? offBits : static_cast<uint32_t>(14 + info.size() + table.size());
    return "BM" +
           Test_Le32(static_cast<uint32_t>(14 + info.size() + table.size() + pixels.size())) +
           Test_Le32(0) + Test_Le32(at) + info + table + pixels;
}

void BmpSeeds() {
    Seed("bmp", "1bit",
         Bmp(InfoHeader(40, 9, 2, 1, BI_RGB, 0), Test_Pattern(8, 1), Test_Pattern(8, 2)));
    Seed("bmp", "4bit-short-table",
         Bmp(InfoHeader(40, 3, 2, 4, BI_RGB, 3), Test_Pattern(12, 3), Test_Pattern(8, 4)));
    Seed("bmp", "8bit",
         Bmp(InfoHeader(40, 5, 3, 8, BI_RGB, 0), Test_Pattern(1024, 5), Test_Pattern(24, 6)));
    Seed("bmp", "16bit-masks",
         Bmp(InfoHeader(40, 3, -2, 16, BI_BITFIELDS, 0),
             Test_Le32(0xF800) + Test_Le32(0x7E0) + Test_Le32(0x1F), Test_Pattern(16, 7)));
    Seed("bmp", "24bit-v5", Bmp(InfoHeader(124, 3, 2, 24, BI_RGB, 0), "", Test_Pattern(24, 8)));
    Seed("bmp", "32bit", Bmp(InfoHeader(40, 2, 2, 32, BI_RGB, 0), "", Test_Pattern(16, 9)));
    Seed("bmp", "24bit-100k",
         Bmp(InfoHeader(40, 200, 170, 24, BI_RGB, 0), "", Test_Pattern(102000, 10)));
    Seed("bmp", "pixels-at-0",
         Bmp(InfoHeader(40, 3, 2, 24, BI_RGB, 0), "", Test_Pattern(24, 11), 0)
             .replace(10, 4, Test_Le32(0)));
    Seed("bmp", "pixels-in-table",
         Bmp(InfoHeader(40, 4, 1, 8, BI_RGB, 0), Test_Pattern(1024, 12), Test_Pattern(4, 13),
             14 + 40 + 512));
    Seed("bmp", "pixels-cut-short",
         Bmp(InfoHeader(40, 3, 2, 24, BI_RGB, 0), "", Test_Pattern(23, 14)));
}

// A ZIP file of central directory records and an end record.
std::string Zip(const std::vector<TestZipEntry>& entries, const std::string& comment = "") {
    return Test_Zip(entries, "PK\x03\x04" + std::string(26, '\0'), comment);
}

void ZipSeeds() {
    Seed("zip", "plain",
         Zip({{"a.txt", 0, 0, 0x1234, 5, 5, ""}, {"docs/b.txt", 0, 8, 0x1234, 3, 9, ""}}));
    Seed("zip", "empty", Zip({}));
    Seed("zip", "zip64",
         Zip({{"big.iso", 0, 8, 0x1234, 0xFFFFFFFF, 0xFFFFFFFF,
               Test_Le16(1) + Test_Le16(16) + Test_Le64(5000000000ull) +
                   Test_Le64(4000000000ull)}}));
    Seed("zip", "ntfs-times",
         Zip({{"top.txt", 0, 0, 0x1234, 1, 1, Test_NtfsExtra(0x8000000000000000ull)},
              {"max.txt", 0, 0, 0x1234, 1, 1, Test_NtfsExtra(~0ull)},
              {"zero.txt", 0, 0, 0x1234, 1, 1, Test_NtfsExtra(0)}}));
    Seed("zip", "unix-time",
         Zip({{"ut.txt", 0, 0, 0x1234, 1, 1,
               Test_Le16(0x5455) + Test_Le16(5) + "\x01" + Test_Le32(1)}}));
    std::string longName;
    for (int i = 0; i < 250; ++i) {
        longName += "\xC3\xA9";
    }
    Seed("zip", "long-utf8-name", Zip({{longName, 0x800, 0, 0x1234, 1, 1, ""}}));
    Seed("zip", "cp932-name",
         Zip({{"d/\x95\x5C"
               "a.txt",
               0, 0, 0x1234, 1, 1, ""}}));
    Seed("zip", "oem-and-unix-names",
         Zip({{"caf\x82.txt", 0, 0, 0x1234, 1, 1, "", 20},
              {"caf\x82.txt", 0, 0, 0x1234, 1, 1, "", 0x0B00 | 20},
              {"caf\x82.txt", 0, 0, 0x1234, 1, 1, "", 0x0300 | 20}}));
    std::string bad = Zip({{"a", 0, 0, 0x1234, 1, 1, ""}, {"b", 0, 0, 0x1234, 1, 1, ""}});
    bad[bad.find("PK\x01\x02", 40) + 3] = '\x09';
    Seed("zip", "bad-signature", bad);
    std::string overrun = Zip({{"a", 0, 0, 0x1234, 1, 1, ""}});
    overrun.replace(overrun.find("PK\x01\x02") + 28, 2, Test_Le16(500));
    Seed("zip", "overrun", overrun);
    std::string decoy = Zip({{"decoy.txt", 0, 0, 0x1234, 1, 1, ""}});
    std::string real = Zip({{"real.exe", 0, 0, 0x1234, 1, 1, ""}});
    std::string fakeEnd = decoy.substr(decoy.size() - 22);
    fakeEnd.replace(16, 4, Test_Le32(static_cast<uint32_t>(real.size())));
    Seed("zip", "end-in-comment",
         Zip({{"real.exe", 0, 0, 0x1234, 1, 1, ""}},
             decoy.substr(30, decoy.size() - 52) + fakeEnd + "more comment"));
    Seed("zip", "end-claims-256mib",
         Test_Le32(0x06054B50) + Test_Le16(0) + Test_Le16(0) + Test_Le16(1) + Test_Le16(1) +
             Test_Le32(0x0FFFFFFF) + Test_Le32(0) + Test_Le16(0));
}

// The DIB target's input: the header block's length, the header block and
// the pixel block; when `large`, with pixel bytes added until the input
// draws large blocks (a last byte to match the hash is found within two).
std::string Dib(const std::string& header, const std::string& pixels, bool large = false) {
    std::string input = Test_Le16(static_cast<uint16_t>(header.size())) + header + pixels;
    while (large) {
        input += '\0';
        for (int last = 0; last < 256; ++last) {
            input.back() = static_cast<char>(last);
            if (Fuzz_DrawsLarge(reinterpret_cast<const uint8_t*>(input.data()), input.size())) {
                return input;
            }
        }
    }
    return input;
}

// Pixels of a 32-bit picture whose fourth bytes run through 0, 127 and 255.
std::string AlphaPixels(size_t count) {
    std::string pixels;
    for (size_t i = 0; i < count; ++i) {
        pixels += Test_Le32(static_cast<uint32_t>(i * 0x010203) & 0xFFFFFF);
        pixels.back() = static_cast<char>(i % 3 * 127 + i % 3 / 2);
    }
    return pixels;
}

void DibSeeds() {
    Seed("dib", "24bit", Dib(InfoHeader(40, 3, 2, 24, BI_RGB, 0), Test_Pattern(24, 1)));
    Seed("dib", "8bit-short-table",
         Dib(InfoHeader(40, 5, 3, 8, BI_RGB, 8) + Test_Pattern(32, 2), Test_Pattern(24, 3)));
    Seed("dib", "8bit-full-table-clrused-16",
         Dib(InfoHeader(40, 5, 3, 8, BI_RGB, 16) + Test_Pattern(1024, 4), Test_Pattern(24, 5)));
    Seed("dib", "32bit-v5-masks",
         Dib(InfoHeader(124, 2, -2, 32, BI_BITFIELDS, 0), Test_Pattern(16, 6)));
    Seed("dib", "16bit-masks",
         Dib(InfoHeader(40, 3, 2, 16, BI_BITFIELDS, 0) + Test_Le32(0xF800) + Test_Le32(0x7E0) +
                 Test_Le32(0x1F),
             Test_Pattern(16, 7)));
    Seed("dib", "short-header",
         Dib(InfoHeader(40, 3, 2, 24, BI_RGB, 0).substr(0, 20), Test_Pattern(8, 8)));
    std::string huge = InfoHeader(40, 1, 1, 24, BI_RGB, 0);
    huge.replace(20, 4, Test_Le32(0xFFFFFF00));
    Seed("dib", "huge-image", Dib(huge, Test_Pattern(4, 9), true));
    Seed("dib", "32bit-alpha", Dib(InfoHeader(40, 3, 2, 32, BI_RGB, 0), AlphaPixels(6)));
    Seed("dib", "32bit-alpha-top-down-bgra-masks",
         Dib(InfoHeader(40, 2, -3, 32, BI_BITFIELDS, 0) + Test_Le32(0xFF0000) + Test_Le32(0xFF00) +
                 Test_Le32(0xFF),
             AlphaPixels(6)));
    Seed("dib", "32bit-alpha-17000-wide",
         Dib(InfoHeader(40, 17000, 1, 32, BI_RGB, 0), AlphaPixels(17000), true));
}

std::string Record(const char* method, uint64_t original, uint64_t packed, int64_t time,
                   const std::string& path, const std::string& name, uint32_t crc) {
    return Test_RecordBytes(Test_Entry(method, static_cast<SpiSize>(original),
                                       static_cast<SpiSize>(packed), static_cast<SpiTime>(time),
                                       path, name, crc));
}

void ListingSeeds() {
    std::string close(sizeof(ArchiveEntryInfo), '\0');
    std::string two = Record("-lh5-", 800, 321, 1065362589, "docs\\", "readme.txt", 0x1A2B) +
                      Record("-lh0-", 120, 120, 1043053200, "", "tiny.dat", 0xFF);
    Seed("listing", "worked-example", std::string(1, '\0') + two + close);
    Seed("listing", "no-closing-record", std::string(1, '\0') + two + "xyz");
    Seed("listing", "no-entries", std::string(1, '\0'));
    Seed("listing", "control-characters",
         std::string(1, '\0') +
             Record("m", 1, 1, 0, "d\r\n\\", "a\r\n       999        999  100.0% fake", 0) + close);
    Seed("listing", "control-in-method",
         std::string(1, '\0') + Record("AB\rCD\nGH", 1, 1, 0, "", "x", 0) + close);
    ArchiveEntryInfoW wide = {};
    memcpy(wide.method, "-lh5-", 5);
    wide.filesize = 800;
    wide.compsize = 321;
    memcpy(wide.path, L"\u76EE\\d\r\n\\", 7 * sizeof(wchar_t));
    memcpy(wide.filename, L"\U0001F600.txt", 6 * sizeof(wchar_t));
    Seed("listing", "wide-records",
         std::string(1, '\4') + std::string(reinterpret_cast<const char*>(&wide), sizeof wide) +
             std::string(sizeof wide, '\0'));
    Seed("listing", "extremes",
         std::string(1, '\0') +
             Record("ABCDEFGH", ~0ull, ~0ull, -1, std::string(200, 'p'), std::string(200, 'f'),
                    0xFFFFFFFF) +
             Record("m", 1, 0, INT64_MAX, "\x95\x5C\\", "x", 1) + close);
}

} // namespace

// One event of the watch target: the time since the last, kind, file,
// pass, step, result and depth.
std::string WatchEvent(int kind, int file, int pass, int step, int result = 0, int depth = 0) {
    const char bytes[8] = {1,
                           static_cast<char>(kind),
                           static_cast<char>(file),
                           static_cast<char>(pass),
                           static_cast<char>(step),
                           static_cast<char>(result & 0xFF),
                           static_cast<char>((result >> 8) & 0xFF),
                           static_cast<char>(depth)};
    return std::string(bytes, 8);
}

// A step begun and returned.
std::string WatchStep(int file, int pass, int step, int result, int depth = 0) {
    return WatchEvent(2, file, pass, step) + WatchEvent(3, file, pass, step, result, depth);
}

void WatchSeeds() {
    // Two files, the first of the other width; the second takes the head.
    std::string decoded = std::string("\x01\x04\x00\x00", 4) + WatchEvent(1, 0, 0, 0, 0x8664) +
                          WatchEvent(1, 1, 0, 0, 0x014C) + WatchStep(1, 0, 1, 1) +
                          WatchStep(1, 0, 2, 1) + WatchStep(1, 0, 3, 1) +
                          WatchStep(1, 0, 5, 0, 24) + WatchStep(1, 0, 7, 1) +
                          WatchEvent(5, 1, 0, 0, 1) + WatchStep(1, 0, 8, 1);
    Seed("watch", "decoded", decoded);
    // One archive plug-in that declines the head and takes the bytes on;
    // a thread of its faults in the second pass, and it is asked again.
    std::string further = std::string("\x00\x00\x00", 3) + WatchEvent(1, 0, 0, 0, 0x014C) +
                          WatchStep(0, 0, 1, 1) + WatchStep(0, 0, 2, 2) + WatchStep(0, 0, 3, 0) +
                          WatchStep(0, 0, 4, 1) + WatchStep(0, 0, 8, 1) + WatchEvent(2, 0, 1, 1) +
                          WatchEvent(4, 0, 0, 0, 300) + WatchEvent(6, 0, 0, 0, 5) +
                          WatchEvent(6, 0, 0, 0, 5) + WatchEvent(7, 0, 0, 0) +
                          WatchStep(0, 1, 1, 1) + WatchStep(0, 1, 2, 2) + WatchStep(0, 1, 6, 0, 1) +
                          WatchStep(0, 1, 7, 1) + WatchEvent(5, 0, 1, 0, 2);
    Seed("watch", "further on", further);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_seeds OUT_DIR\n");
        return 2;
    }
    g_out = argv[1];
    BmpSeeds();
    ZipSeeds();
    DibSeeds();
    ListingSeeds();
    WatchSeeds();
    return 0;
}
