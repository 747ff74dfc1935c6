#pragma once

#include <cstdio>
#include <cstdlib>

// A broken invariant: say which (and about what, when given), then abort so that libFuzzer keeps
// the input as a crash.
#define FUZZ_CHECK_ABOUT(condition, about)                                                           \
    do {                                                                                            \
        if (!(condition)) {                                                                         \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n  about: %s\n", __FILE__, __LINE__, \
                         #condition, about);                                                        \
            std::abort();                                                                           \
        }                                                                                           \
    } while (false)

#define FUZZ_CHECK(condition) FUZZ_CHECK_ABOUT(condition, "")
