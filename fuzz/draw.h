// How the DIB target draws the largest block it may allocate for an input:
// 16 KiB mostly, which keeps it fast, and for one input in 512 (by a hash
// of its bytes, so that a finding replays the same) 1 MiB, which reaches
// the multi-block PNG and the large copies now and then.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr size_t FUZZ_SMALL_BLOCKS = 16u << 10;
constexpr size_t FUZZ_LARGE_BLOCKS = 1u << 20;

inline bool Fuzz_DrawsLarge(const uint8_t* data, size_t size) {
    uint32_t hash = 2166136261u; // FNV-1a
    for (size_t i = 0; i < size; ++i) {
        hash = (hash ^ data[i]) * 16777619u;
    }
    return hash % 512 == 0;
}
