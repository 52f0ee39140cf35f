#pragma once

#include "tb_bitmap32.h"
#include "tb_uri.h"

// A 32-bit non-premultiplied ARGB bitmap kept in a platform image (96 dots per inch), so
// graphics can draw into it and windows can show it. Lock gives the first scan line; the
// pointer is valid until Unlock.
class TB_NativeBitmap : public TB_Bitmap32 {
public:
    TB_NativeBitmap() = default;
    TB_NativeBitmap(tb_int width, tb_int height);
    ~TB_NativeBitmap() override;

    void Allocate() override;
    tb_uint* PixelAt(tb_int x, tb_int y) override;
    tb_uint* Lock() override;
    void Unlock() override;

    // Writes the bitmap as a PNG file (for screenshots); false on failure.
    bool SavePng(const TB_Uri& path);

    // The platform image (a QImage), for the platform layer.
    void* PlatformImage() const { return m_image; }

private:
    void* m_image = nullptr;
};
