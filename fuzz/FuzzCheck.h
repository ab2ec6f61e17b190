#pragma once
// A failed property stops the fuzzer with the input that broke it.
#include <cstdio>
#include <cstdlib>

inline void Require(bool holds, const char* property)
{
    if (!holds) {
        std::fprintf(stderr, "property violated: %s\n", property);
        std::abort();
    }
}
