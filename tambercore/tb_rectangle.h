#pragma once

#include "tb_types.h"

// x, y, width, height; copied by value.
template <class T>
struct TB_Rectangle {
    T x = 0;
    T y = 0;
    T width = 0;
    T height = 0;

    T Right() const { return x + width; }
    T Bottom() const { return y + height; }
    // Both edges count as inside.
    bool Contains(T px, T py) const {
        return x <= px && px <= x + width && y <= py && py <= y + height;
    }
    bool operator==(const TB_Rectangle&) const = default;
};
