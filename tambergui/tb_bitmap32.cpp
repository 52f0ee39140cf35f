#include "tb_bitmap32.h"

#include <cstdlib>

TB_Bitmap32::TB_Bitmap32(tb_int width, tb_int height) : Width(width), Height(height) {
    Allocate();
}

TB_Bitmap32::~TB_Bitmap32() {
    std::free(Pixels);
}

void TB_Bitmap32::Allocate() {
    std::free(Pixels);
    Pixels = nullptr;
    if (Width > 0 && Height > 0) {
        Pixels = static_cast<tb_uint*>(
            std::calloc(static_cast<size_t>(Width) * static_cast<size_t>(Height), 4));
    }
}

void TB_Bitmap32::Resize(tb_int width, tb_int height) {
    if (width != Width || height != Height) {
        Width = width;
        Height = height;
        Allocate();
    }
}
