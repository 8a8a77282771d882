// Writes the seed corpus of every fuzz target: the pictures, archives, DIB
// blocks and entry blocks the tests know, good and hostile, one file each.
// Usage: make_seeds OUT_DIR (which holds bmp/, zip/, dib/ and listing/).
#include <windows.h>

#include "plugin/spi.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

std::string g_out;

std::string Le16(uint16_t v) {
    return std::string(reinterpret_cast<const char*>(&v), 2);
}
std::string Le32(uint32_t v) {
    return std::string(reinterpret_cast<const char*>(&v), 4);
}
std::string Le64(uint64_t v) {
    return std::string(reinterpret_cast<const char*>(&v), 8);
}
std::string Bytes(size_t n, int seed) {
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += static_cast<char>((i * 7 + seed) % 251 + 1);
    }
    return s;
}

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
    std::string h = Le32(size) + Le32(static_cast<uint32_t>(width)) +
                    Le32(static_cast<uint32_t>(height)) + Le16(1) + Le16(bits) + Le32(compression) +
                    Le32(0) + Le32(2835) + Le32(2835) + Le32(clrUsed) + Le32(0);
    h.resize(size, '\0');
    return h;
}

// A bitmap file: header, table (or masks), pixels; `offBits` 0 puts the
// pixels right after the table.
std::string Bmp(const std::string& info, const std::string& table, const std::string& pixels,
                uint32_t offBits = 0) {
    uint32_t at = offBits ? offBits : static_cast<uint32_t>(14 + info.size() + table.size());
    return "BM" + Le32(static_cast<uint32_t>(14 + info.size() + table.size() + pixels.size())) +
           Le32(0) + Le32(at) + info + table + pixels;
}

void BmpSeeds() {
    Seed("bmp", "1bit", Bmp(InfoHeader(40, 9, 2, 1, BI_RGB, 0), Bytes(8, 1), Bytes(8, 2)));
    Seed("bmp", "4bit-short-table",
         Bmp(InfoHeader(40, 3, 2, 4, BI_RGB, 3), Bytes(12, 3), Bytes(8, 4)));
    Seed("bmp", "8bit", Bmp(InfoHeader(40, 5, 3, 8, BI_RGB, 0), Bytes(1024, 5), Bytes(24, 6)));
    Seed("bmp", "16bit-masks",
         Bmp(InfoHeader(40, 3, -2, 16, BI_BITFIELDS, 0), Le32(0xF800) + Le32(0x7E0) + Le32(0x1F),
             Bytes(16, 7)));
    Seed("bmp", "24bit-v5", Bmp(InfoHeader(124, 3, 2, 24, BI_RGB, 0), "", Bytes(24, 8)));
    Seed("bmp", "32bit", Bmp(InfoHeader(40, 2, 2, 32, BI_RGB, 0), "", Bytes(16, 9)));
    Seed("bmp", "24bit-100k", Bmp(InfoHeader(40, 200, 170, 24, BI_RGB, 0), "", Bytes(102000, 10)));
    Seed("bmp", "pixels-at-0",
         Bmp(InfoHeader(40, 3, 2, 24, BI_RGB, 0), "", Bytes(24, 11), 0).replace(10, 4, Le32(0)));
    Seed("bmp", "pixels-in-table",
         Bmp(InfoHeader(40, 4, 1, 8, BI_RGB, 0), Bytes(1024, 12), Bytes(4, 13), 14 + 40 + 512));
    Seed("bmp", "pixels-cut-short", Bmp(InfoHeader(40, 3, 2, 24, BI_RGB, 0), "", Bytes(23, 14)));
}

struct Entry {
    std::string name;
    uint16_t flags;
    uint16_t method;
    uint32_t packed;
    uint32_t original;
    std::string extra;
};

// A ZIP file of central directory records and an end record.
std::string Zip(const std::vector<Entry>& entries, const std::string& comment = "") {
    std::string local = "PK\x03\x04" + std::string(26, '\0');
    std::string directory;
    for (const Entry& e : entries) {
        directory += Le32(0x02014B50) + Le16(20) + Le16(20) + Le16(e.flags) + Le16(e.method) +
                     Le16(0x5000) + Le16(0x58B1) + Le32(0x1234) + Le32(e.packed) +
                     Le32(e.original) + Le16(static_cast<uint16_t>(e.name.size())) +
                     Le16(static_cast<uint16_t>(e.extra.size())) + Le16(0) + Le16(0) + Le16(0) +
                     Le32(0) + Le32(0) + e.name + e.extra;
    }
    return local + directory + Le32(0x06054B50) + Le16(0) + Le16(0) +
           Le16(static_cast<uint16_t>(entries.size())) +
           Le16(static_cast<uint16_t>(entries.size())) +
           Le32(static_cast<uint32_t>(directory.size())) + Le32(30) +
           Le16(static_cast<uint16_t>(comment.size())) + comment;
}

std::string Ntfs(uint64_t ticks) {
    return Le16(0x000A) + Le16(32) + Le32(0) + Le16(1) + Le16(24) + Le64(ticks) + Le64(ticks) +
           Le64(ticks);
}

void ZipSeeds() {
    Seed("zip", "plain", Zip({{"a.txt", 0, 0, 5, 5, ""}, {"docs/b.txt", 0, 8, 3, 9, ""}}));
    Seed("zip", "empty", Zip({}));
    Seed("zip", "zip64",
         Zip({{"big.iso", 0, 8, 0xFFFFFFFF, 0xFFFFFFFF,
               Le16(1) + Le16(16) + Le64(5000000000ull) + Le64(4000000000ull)}}));
    Seed("zip", "ntfs-times",
         Zip({{"top.txt", 0, 0, 1, 1, Ntfs(0x8000000000000000ull)},
              {"max.txt", 0, 0, 1, 1, Ntfs(~0ull)},
              {"zero.txt", 0, 0, 1, 1, Ntfs(0)}}));
    Seed("zip", "unix-time",
         Zip({{"ut.txt", 0, 0, 1, 1, Le16(0x5455) + Le16(5) + "\x01" + Le32(1)}}));
    std::string longName;
    for (int i = 0; i < 250; ++i) {
        longName += "\xC3\xA9";
    }
    Seed("zip", "long-utf8-name", Zip({{longName, 0x800, 0, 1, 1, ""}}));
    Seed("zip", "cp932-name",
         Zip({{"d/\x95\x5C"
               "a.txt",
               0, 0, 1, 1, ""}}));
    std::string bad = Zip({{"a", 0, 0, 1, 1, ""}, {"b", 0, 0, 1, 1, ""}});
    bad[bad.find("PK\x01\x02", 40) + 3] = '\x09';
    Seed("zip", "bad-signature", bad);
    std::string overrun = Zip({{"a", 0, 0, 1, 1, ""}});
    overrun.replace(overrun.find("PK\x01\x02") + 28, 2, Le16(500));
    Seed("zip", "overrun", overrun);
    std::string decoy = Zip({{"decoy.txt", 0, 0, 1, 1, ""}});
    std::string real = Zip({{"real.exe", 0, 0, 1, 1, ""}});
    std::string fakeEnd = decoy.substr(decoy.size() - 22);
    fakeEnd.replace(16, 4, Le32(static_cast<uint32_t>(real.size())));
    Seed("zip", "end-in-comment",
         Zip({{"real.exe", 0, 0, 1, 1, ""}},
             decoy.substr(30, decoy.size() - 52) + fakeEnd + "more comment"));
    Seed("zip", "end-claims-256mib",
         Le32(0x06054B50) + Le16(0) + Le16(0) + Le16(1) + Le16(1) + Le32(0x0FFFFFFF) + Le32(0) +
             Le16(0));
}

std::string Dib(const std::string& header, const std::string& pixels) {
    return Le16(static_cast<uint16_t>(header.size())) + header + pixels;
}

void DibSeeds() {
    Seed("dib", "24bit", Dib(InfoHeader(40, 3, 2, 24, BI_RGB, 0), Bytes(24, 1)));
    Seed("dib", "8bit-short-table",
         Dib(InfoHeader(40, 5, 3, 8, BI_RGB, 8) + Bytes(32, 2), Bytes(24, 3)));
    Seed("dib", "8bit-full-table-clrused-16",
         Dib(InfoHeader(40, 5, 3, 8, BI_RGB, 16) + Bytes(1024, 4), Bytes(24, 5)));
    Seed("dib", "32bit-v5-masks", Dib(InfoHeader(124, 2, -2, 32, BI_BITFIELDS, 0), Bytes(16, 6)));
    Seed("dib", "16bit-masks",
         Dib(InfoHeader(40, 3, 2, 16, BI_BITFIELDS, 0) + Le32(0xF800) + Le32(0x7E0) + Le32(0x1F),
             Bytes(16, 7)));
    Seed("dib", "short-header",
         Dib(InfoHeader(40, 3, 2, 24, BI_RGB, 0).substr(0, 20), Bytes(8, 8)));
    std::string huge = InfoHeader(40, 1, 1, 24, BI_RGB, 0);
    huge.replace(20, 4, Le32(0xFFFFFF00));
    Seed("dib", "huge-image", Dib(huge, Bytes(4, 9)));
}

std::string Record(const char* method, uint64_t original, uint64_t packed, int64_t time,
                   const std::string& path, const std::string& name, uint32_t crc) {
    ArchiveEntryInfo e = {};
    memcpy(e.method, method, strnlen(method, 8));
    e.filesize = original;
    e.compsize = packed;
    e.timestamp = time;
    memcpy(e.path, path.data(), path.size() < 200 ? path.size() : 200);
    memcpy(e.filename, name.data(), name.size() < 200 ? name.size() : 200);
    e.crc = crc;
    return std::string(reinterpret_cast<const char*>(&e), sizeof e);
}

void ListingSeeds() {
    std::string close(sizeof(ArchiveEntryInfo), '\0');
    std::string two = Record("-lh5-", 800, 321, 1065362589, "docs\\", "readme.txt", 0x1A2B) +
                      Record("-lh0-", 120, 120, 1043053200, "", "tiny.dat", 0xFF);
    Seed("listing", "worked-example", std::string(1, '\0') + two + close);
    Seed("listing", "no-closing-record", std::string(1, '\0') + two + "xyz");
    Seed("listing", "failed-with-entries", std::string(1, '\1') + two + close);
    Seed("listing", "failed-without-entries", std::string(1, '\3'));
    Seed("listing", "control-characters",
         std::string(1, '\0') +
             Record("m", 1, 1, 0, "d\r\n\\", "a\r\n       999        999  100.0% fake", 0) + close);
    Seed("listing", "control-in-method",
         std::string(1, '\0') + Record("AB\rCD\nGH", 1, 1, 0, "", "x", 0) + close);
    Seed("listing", "extremes",
         std::string(1, '\0') +
             Record("ABCDEFGH", ~0ull, ~0ull, -1, std::string(200, 'p'), std::string(200, 'f'),
                    0xFFFFFFFF) +
             Record("m", 1, 0, INT64_MAX, "\x95\x5C\\", "x", 1) + close);
}

} // namespace

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
    return 0;
}
