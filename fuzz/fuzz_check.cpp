// Fuzz check: a failed property ends the run the way a sanitizer report does.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_input.h"

void FuzzCheck(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}
