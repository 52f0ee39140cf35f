#include "tb_color.h"

#include <cmath>
#include <cstring>

TB_Color TB_Color::Transparent;
#define TB_NAMED_COLOR(name, r, g, b) TB_Color TB_Color::name;
#include "tb_color_names.inc"
#undef TB_NAMED_COLOR

namespace {

struct NamedColor {
    const char* name;
    TB_Color* color;
    int r, g, b;
};

const NamedColor kNamedColors[] = {
#define TB_NAMED_COLOR(name, r, g, b) {#name, &TB_Color::name, r, g, b},
#include "tb_color_names.inc"
#undef TB_NAMED_COLOR
};

// 8-bit value over 255, rounded to four decimal places.
float Channel(int value) {
    return static_cast<float>(std::round(value / 255.0 * 10000.0) / 10000.0);
}

tb_uint TruncByte(float v) {
    return static_cast<tb_uint>(static_cast<int>(v * 255.0f)) & 0xFF;
}

tb_uint ClampByte(float v) {
    float scaled = v * 255.0f;
    if (!(scaled > 0)) {
        return 0;
    }
    if (scaled > 255) {
        return 255;
    }
    return static_cast<tb_uint>(scaled);
}

}  // namespace

tb_uint TB_Color::ToArgb() const {
    return (TruncByte(a) << 24) | (TruncByte(r) << 16) | (TruncByte(g) << 8) | TruncByte(b);
}

tb_uint TB_Color::ToNativeBgra() const {
    return ClampByte(b) | (ClampByte(g) << 8) | (ClampByte(r) << 16) | (ClampByte(a) << 24);
}

TB_Color TB_Color::FromArgb(tb_uint argb) {
    return FromBytes((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF, argb >> 24);
}

TB_Color TB_Color::FromBytes(int red, int green, int blue, int alpha) {
    return TB_Color{red / 255.0f, green / 255.0f, blue / 255.0f, alpha / 255.0f};
}

void TB_Color::InitPredefined() {
    Transparent = TB_Color{1, 1, 1, 0};
    for (const NamedColor& entry : kNamedColors) {
        *entry.color = TB_Color{Channel(entry.r), Channel(entry.g), Channel(entry.b), 1};
    }
}

int TB_Color::PredefinedCount() {
    return 1 + static_cast<int>(sizeof kNamedColors / sizeof kNamedColors[0]);
}

const TB_Color* TB_Color::FindPredefined(const char* name) {
    if (std::strcmp(name, "Transparent") == 0) {
        return &Transparent;
    }
    for (const NamedColor& entry : kNamedColors) {
        if (std::strcmp(entry.name, name) == 0) {
            return entry.color;
        }
    }
    return nullptr;
}
