// What a fuzz target does when an invariant breaks: say which, then stop so that
// libFuzzer saves the input.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                          \
    do {                                                                          \
        if (!(cond)) {                                                            \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__,       \
                         __LINE__, #cond);                                        \
            std::abort();                                                         \
        }                                                                         \
    } while (0)
