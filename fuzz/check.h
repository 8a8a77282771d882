// What every harness shares: a check that stops the run with the reason, and
// the end-of-input check that every block and file was released.
#pragma once

#include "win32/fake.h"

#include <stdio.h>
#include <stdlib.h>

#include <initializer_list>

inline void Fuzz_Require(bool holds, const char* what) {
    if (!holds) {
        fprintf(stderr, "fuzz check failed: %s\n", what);
        abort();
    }
}

inline void Fuzz_RequireReleased() {
    Fuzz_Require(Fake_LiveBlocks() == 0, "every block is freed");
    Fuzz_Require(Fake_LiveFiles() == 0, "every file is closed");
}
