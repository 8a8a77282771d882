// The files and records the tests, the fuzz seeds and the plug-in tests
// build: bitmap info headers, ZIP central directories and their extra
// fields, and archive entry records. One source for all of them.
#pragma once

#include "plugin/spi.h"
#include "tests/support/bytes.h"

#include <string.h>

// A 40-byte BITMAPINFOHEADER, or one `size` bytes long (zeros after 40).
inline std::string Test_InfoHeader(uint32_t size, int32_t width, int32_t height, uint16_t bits,
                                   uint32_t compression, uint32_t clrUsed, uint32_t sizeImage = 0) {
    std::string h = Test_Le32(size) + Test_Le32(static_cast<uint32_t>(width)) +
                    Test_Le32(static_cast<uint32_t>(height)) + Test_Le16(1) + Test_Le16(bits) +
                    Test_Le32(compression) + Test_Le32(sizeImage) + Test_Le32(2835) +
                    Test_Le32(2835) + Test_Le32(clrUsed) + Test_Le32(0);
    h.resize(size > 40 ? size : 40, '\0');
    return h;
}

// A 2x1 24-bit picture in the image fixture's container: "FXPC", mode 0,
// the two block lengths, a 40-byte header and one padded row. Decoded and
// placed, it is the file from byte 16 on.
inline std::string Test_SmallPictureFile() {
    std::string header = Test_InfoHeader(40, 2, 1, 24, 0, 0);
    std::string row("\x10\x20\x30\x40\x50\x60\0\0", 8);
    return "FXPC" + Test_Le32(0) + Test_Le32(40) + Test_Le32(8) + header + row;
}

// An archive fixture's file with one entry named "kept".
inline std::string Test_ArchiveOfOne() {
    ArchiveEntryInfo entries[2] = {};
    memcpy(entries[0].method, "m", 1);
    memcpy(entries[0].filename, "kept", 4);
    return "FXAR" + Test_Le32(0) +
           std::string(reinterpret_cast<const char*>(entries), sizeof entries);
}

// One entry of a ZIP central directory. `madeBy` is "version made by": its
// high byte is the host (0 MS-DOS, 3 Unix, 11 NTFS).
struct TestZipEntry {
    std::string name;
    uint16_t flags;
    uint16_t method;
    uint32_t crc;
    uint32_t packed;
    uint32_t original;
    std::string extra;
    uint16_t madeBy = 20;
};

// A ZIP file that holds only what a listing reads: `local` (a local
// header's signature and 26 bytes, or the given members), the central
// directory and the end record, with `comment` after it.
inline std::string Test_Zip(const std::vector<TestZipEntry>& entries,
                            const std::string& local = "PK\x03\x04" + std::string(26, '\0'),
                            const std::string& comment = "") {
    std::string directory;
    for (const TestZipEntry& e : entries) {
        directory += Test_Le32(0x02014B50) + Test_Le16(e.madeBy) + Test_Le16(20) +
                     Test_Le16(e.flags) + Test_Le16(e.method) + Test_Le16(0x5000) +
                     Test_Le16(0x58B1) + Test_Le32(e.crc) + Test_Le32(e.packed) +
                     Test_Le32(e.original) + Test_Le16(static_cast<uint16_t>(e.name.size())) +
                     Test_Le16(static_cast<uint16_t>(e.extra.size())) + Test_Le16(0) +
                     Test_Le16(0) + Test_Le16(0) + Test_Le32(0) + Test_Le32(0) + e.name + e.extra;
    }
    return local + directory + Test_Le32(0x06054B50) + Test_Le16(0) + Test_Le16(0) +
           Test_Le16(static_cast<uint16_t>(entries.size())) +
           Test_Le16(static_cast<uint16_t>(entries.size())) +
           Test_Le32(static_cast<uint32_t>(directory.size())) +
           Test_Le32(static_cast<uint32_t>(local.size())) +
           Test_Le16(static_cast<uint16_t>(comment.size())) + comment;
}

// The NTFS extra field with all three times at `ticks` (100 ns since 1601).
inline std::string Test_NtfsExtra(uint64_t ticks) {
    return Test_Le16(0x000A) + Test_Le16(32) + Test_Le32(0) + Test_Le16(1) + Test_Le16(24) +
           Test_Le64(ticks) + Test_Le64(ticks) + Test_Le64(ticks);
}

// An archive entry record as a plug-in hands it back.
inline ArchiveEntryInfo Test_Entry(const char* method, SpiSize original, SpiSize packed,
                                   SpiTime time, const std::string& path, const std::string& name,
                                   uint32_t crc) {
    ArchiveEntryInfo e = {};
    memcpy(e.method, method, strnlen(method, 8));
    e.filesize = original;
    e.compsize = packed;
    e.timestamp = time;
    memcpy(e.path, path.data(), path.size() < sizeof e.path ? path.size() : sizeof e.path);
    memcpy(e.filename, name.data(),
           name.size() < sizeof e.filename ? name.size() : sizeof e.filename);
    e.crc = crc;
    return e;
}

inline std::string Test_RecordBytes(const ArchiveEntryInfo& e) {
    return std::string(reinterpret_cast<const char*>(&e), sizeof e);
}
