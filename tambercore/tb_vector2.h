#pragma once

#include "tb_types.h"

// Plain 2-D point or size, copied by value.
struct TB_Vector2 {
    float x = 0;
    float y = 0;
    bool operator==(const TB_Vector2&) const = default;
};
