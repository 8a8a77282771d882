// What the tests build files and expected listings from: little-endian
// fields, recognisable byte patterns, the listing's rule and slashed paths.
#pragma once

#include <stdint.h>
#include <string>
#include <vector>

inline std::string Test_Le16(uint16_t v) {
    return std::string(reinterpret_cast<const char*>(&v), 2);
}

inline std::string Test_Le32(uint32_t v) {
    return std::string(reinterpret_cast<const char*>(&v), 4);
}

inline std::string Test_Le64(uint64_t v) {
    return std::string(reinterpret_cast<const char*>(&v), 8);
}

// `length` bytes, none of them zero, that differ with the seed.
inline std::string Test_Pattern(size_t length, int seed) {
    std::string bytes;
    for (size_t i = 0; i < length; ++i) {
        bytes += static_cast<char>((i * 7 + seed) % 251 + 1);
    }
    return bytes;
}

inline std::string Test_Bytes(const std::vector<uint8_t>& v) {
    return std::string(v.begin(), v.end());
}

// A 2x1 24-bit picture in the image fixture's container: "FXPC", mode 0,
// the two block lengths, a 40-byte header and one padded row. Decoded and
// placed, it is the file from byte 16 on.
inline std::string Test_SmallPictureFile() {
    std::string header = Test_Le32(40) + Test_Le32(2) + Test_Le32(1) + Test_Le16(1) +
                         Test_Le16(24) + std::string(24, '\0');
    std::string row("\x10\x20\x30\x40\x50\x60\0\0", 8);
    return "FXPC" + Test_Le32(0) + Test_Le32(40) + Test_Le32(8) + header + row;
}

// The listing's rule, without its line ends.
constexpr char TEST_RULE[] = "---------- ---------- ------- ---------- -------- -------- ----  "
                             "------------------------------";

// A path as the listing's title shows it.
inline std::string Test_Slashed(std::string path) {
    for (char& c : path) {
        c = c == '\\' ? '/' : c;
    }
    return path;
}
