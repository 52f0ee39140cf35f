#pragma once

#include "tb_canvas.h"
#include "tb_graphics.h"
#include "tb_nativebitmap.h"

// A colour as the 32-bit ARGB pixel a bitmap stores for it.
inline tb_uint Argb(const TB_Color& c) {
    auto byte = [](float v) { return static_cast<tb_uint>(v * 255.0f) & 0xFF; };
    return (byte(c.a) << 24) | (byte(c.r) << 16) | (byte(c.g) << 8) | byte(c.b);
}

// Paints a control into a bitmap of its size, as its window's back buffer would be painted.
inline TB_Ref<TB_NativeBitmap> Paint(TB_Canvas& control) {
    auto bitmap = TB_Ref<TB_NativeBitmap>::Adopt(new TB_NativeBitmap(
        static_cast<tb_int>(control.Width), static_cast<tb_int>(control.Height)));
    auto graphics = TB_Ref<TB_Graphics>::Adopt(new TB_Graphics(bitmap.Get()));
    TB_PaintEventArg arg;
    arg.Graphics = graphics.Get();
    control.OnPaint(arg);
    return bitmap;
}

inline tb_uint Pixel(const TB_Ref<TB_NativeBitmap>& bitmap, int x, int y) {
    return *bitmap->PixelAt(x, y);
}
