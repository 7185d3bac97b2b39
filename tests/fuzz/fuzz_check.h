#pragma once
// A fuzz target's property: when it does not hold, the line is named and the run stops as a
// crash, so the fuzzer keeps the input and the replay fails on it.
#include <cstdio>

#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: %s does not hold\n", __FILE__, __LINE__, #condition); \
            __builtin_trap();                                                          \
        }                                                                              \
    } while (0)
