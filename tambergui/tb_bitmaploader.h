#pragma once

#include "tb_bitmap32.h"
#include "tb_stream.h"

// Decodes an image from a stream into a bitmap: 0 on success, -2 on any failure.
class TB_BitmapLoader : public TB_Object {
public:
    virtual tb_int Load(TB_Stream* stream, TB_Bitmap32* bitmap) = 0;
};

// PNG through libpng. The image is decoded whole before the bitmap is touched, so a corrupt
// or truncated file leaves the bitmap exactly as it was.
class TB_BitmapLoaderPng : public TB_BitmapLoader {
public:
    tb_int Load(TB_Stream* stream, TB_Bitmap32* bitmap) override;

    // Images larger than this on either side are refused rather than allocated.
    static constexpr tb_uint kMaxSide = 16384;
    // Images of more pixels are refused before anything is allocated for them, with an entry
    // in the error log: a few hundred bytes of PNG can claim gigabytes, and every image the
    // program shows (thumbnails, style bitmaps) is far smaller.
    static constexpr tb_uint64 kMaxPixels = 4096 * 4096;
};
