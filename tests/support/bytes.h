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
