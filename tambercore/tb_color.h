#pragma once

#include "tb_types.h"

// Four floats, 0 to 1, in the order red, green, blue, alpha.
struct TB_Color {
    float r = 0;
    float g = 0;
    float b = 0;
    float a = 1;

    // 32-bit ARGB for drawing: each channel times 255, truncated, low byte kept.
    tb_uint ToArgb() const;
    // Bytes blue, green, red, alpha for native windows: times 255, clamped, truncated.
    tb_uint ToNativeBgra() const;
    static TB_Color FromArgb(tb_uint argb);
    static TB_Color FromBytes(int red, int green, int blue, int alpha = 255);

    bool operator==(const TB_Color&) const = default;

    // Filled by InitPredefined at framework start: Transparent and the 140 web colours.
    static TB_Color Transparent;
#define TB_NAMED_COLOR(name, r, g, b) static TB_Color name;
#include "tb_color_names.inc"
#undef TB_NAMED_COLOR

    static void InitPredefined();
    static int PredefinedCount();
    // Looks a predefined colour up by its name; null when unknown.
    static const TB_Color* FindPredefined(const char* name);
};
