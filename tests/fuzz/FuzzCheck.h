#pragma once
// A failed property stops the fuzz run with a message, as a crash would.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                        \
    do {                                                                                        \
        if (!(cond)) {                                                                          \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond);    \
            std::abort();                                                                       \
        }                                                                                       \
    } while (0)
