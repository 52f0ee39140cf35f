#include "tb_assert.h"

#include <cstdio>
#include <cstdlib>

void TB_AssertFail(const char* expression, const char* source, int line) {
    std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", expression, source, line);
    std::fflush(stderr);
    std::abort();
}
