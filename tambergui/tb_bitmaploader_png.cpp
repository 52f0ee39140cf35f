#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "tb_bitmaploader.h"
#include "tb_error.h"

namespace {

struct Decoded {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int colorType = 0;
    size_t rowBytes = 0;
    unsigned char* data = nullptr;  // malloc'd, height * rowBytes
    png_bytep* rows = nullptr;      // malloc'd
    bool tooLarge = false;          // refused for its pixel count
};

// Ancillary chunks (profiles, compressed text) are decompressed by libpng into memory of
// their own; none of them matters for showing the image.
constexpr png_alloc_size_t kMaxChunkMemory = 1024 * 1024;

void ReadFromStream(png_structp png, png_bytep out, png_size_t count) {
    auto* stream = static_cast<TB_Stream*>(png_get_io_ptr(png));
    if (stream->Read(out, static_cast<tb_int64>(count)) != static_cast<tb_int64>(count)) {
        png_error(png, "truncated");
    }
}

// libpng reports fatal errors by jumping back to the setjmp below; its messages are not
// printed. This function holds no C++ objects, so the jump skips no destructor.
void ErrorHandler(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void WarningHandler(png_structp, png_const_charp) {}

bool Decode(TB_Stream* stream, Decoded& out) {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, ErrorHandler, WarningHandler);
    if (!png) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::free(out.rows);
        std::free(out.data);
        out.rows = nullptr;
        out.data = nullptr;
        return false;
    }
    png_set_read_fn(png, stream, ReadFromStream);
    png_set_sig_bytes(png, 8);
    // The sizes are checked below, where a refusal can be told from a broken file.
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_set_chunk_malloc_max(png, kMaxChunkMemory);
    png_read_info(png, info);
    out.width = png_get_image_width(png, info);
    out.height = png_get_image_height(png, info);
    if (out.width > TB_BitmapLoaderPng::kMaxSide || out.height > TB_BitmapLoaderPng::kMaxSide ||
        static_cast<tb_uint64>(out.width) * out.height > TB_BitmapLoaderPng::kMaxPixels) {
        out.tooLarge = true;
        png_error(png, "too many pixels");
    }
    png_set_strip_16(png);
    png_set_packing(png);
    png_set_expand(png);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out.width = png_get_image_width(png, info);
    out.height = png_get_image_height(png, info);
    out.colorType = png_get_color_type(png, info);
    out.rowBytes = png_get_rowbytes(png, info);
    out.data = static_cast<unsigned char*>(std::malloc(out.rowBytes * out.height));
    out.rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * out.height));
    if (!out.data || !out.rows) {
        png_error(png, "out of memory");
    }
    for (png_uint_32 y = 0; y < out.height; ++y) {
        out.rows[y] = out.data + y * out.rowBytes;
    }
    png_read_image(png, out.rows);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

tb_uint Pack(unsigned b0, unsigned b1, unsigned b2, unsigned b3) {
    // Bytes in memory order b0..b3 on a little-endian machine: the value reads as ARGB.
    return b0 | (b1 << 8) | (b2 << 16) | (b3 << 24);
}

}  // namespace

tb_int TB_BitmapLoaderPng::Load(TB_Stream* stream, TB_Bitmap32* bitmap) {
    if (!bitmap || !stream) {
        return -2;
    }
    unsigned char signature[8];
    if (stream->Read(signature, 8) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
        return -2;
    }
    Decoded image;
    if (!Decode(stream, image)) {
        if (image.tooLarge) {
            TB_String message;
            message.Format(u"Refused a PNG image of %u x %u pixels: more than a picture needs",
                           image.width, image.height);
            TB_Error::Report(2, 9, message.Chars(), TB_SOURCE_NAME, __LINE__);
        }
        return -2;
    }
    bitmap->Resize(static_cast<tb_int>(image.width), static_cast<tb_int>(image.height));
    tb_uint* pixels = bitmap->Lock();
    for (png_uint_32 y = 0; pixels && y < image.height; ++y) {
        const unsigned char* row = image.rows[y];
        tb_uint* target = pixels + static_cast<size_t>(y) * image.width;
        for (png_uint_32 x = 0; x < image.width; ++x) {
            switch (image.colorType) {
                case PNG_COLOR_TYPE_GRAY:
                    target[x] = Pack(row[x], row[x], row[x], 255);
                    break;
                case PNG_COLOR_TYPE_GRAY_ALPHA:
                    target[x] = Pack(row[x * 2], row[x * 2], row[x * 2], row[x * 2 + 1]);
                    break;
                case PNG_COLOR_TYPE_RGB:
                    target[x] = Pack(row[x * 3], row[x * 3 + 1], row[x * 3 + 2], 255);
                    break;
                case PNG_COLOR_TYPE_RGB_ALPHA:
                    target[x] = Pack(row[x * 4], row[x * 4 + 1], row[x * 4 + 2], row[x * 4 + 3]);
                    break;
                default:
                    target[x] = 0xFF000000u;
                    break;
            }
        }
    }
    bitmap->Unlock();
    std::free(image.rows);
    std::free(image.data);
    return 0;
}
