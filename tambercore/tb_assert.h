#pragma once

#include "tb_types.h"

// Program errors (never input errors): prints the check and its source, then aborts.
[[noreturn]] void TB_AssertFail(const char* expression, const char* source, int line);

#define TB_ASSERT(cond, source, text)              \
    do {                                           \
        if (!(cond)) {                             \
            TB_AssertFail(text, source, __LINE__); \
        }                                          \
    } while (0)
