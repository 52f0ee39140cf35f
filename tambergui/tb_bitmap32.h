#pragma once

#include "tb_object.h"

// A 32-bit ARGB image, row by row without padding.
class TB_Bitmap32 : public TB_Object {
public:
    TB_Bitmap32() = default;
    TB_Bitmap32(tb_int width, tb_int height);
    TB_Bitmap32(const TB_Bitmap32&) = delete;
    TB_Bitmap32& operator=(const TB_Bitmap32&) = delete;
    ~TB_Bitmap32() override;

    // Frees the pixels, then allocates Width x Height when both are positive.
    virtual void Allocate();
    virtual tb_uint* PixelAt(tb_int x, tb_int y) {
        return Pixels + x + static_cast<tb_int64>(y) * Width;
    }
    virtual tb_uint* Lock() { return Pixels; }
    virtual void Unlock() {}
    // Reallocates when either size differs.
    virtual void Resize(tb_int width, tb_int height);

    tb_int Width = 0;
    tb_int Height = 0;
    tb_uint* Pixels = nullptr;  // owned
};
