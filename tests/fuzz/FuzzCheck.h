#pragma once

#include <cstdio>
#include <cstdlib>

// A property of the code under test that an input broke: reported, then a crash that
// libFuzzer records with the input.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition);  \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
