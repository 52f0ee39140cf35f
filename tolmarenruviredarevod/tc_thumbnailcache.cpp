#include "tc_thumbnailcache.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "tb_graphics.h"

namespace {

// Averages 2 x 2 blocks weighted by alpha, so transparent pixels do not darken the edges.
// Odd sizes repeat the last row or column.
TB_Ref<TB_NativeBitmap> Halve(TB_Bitmap32* source) {
    tb_int width = std::max(1, (source->Width + 1) / 2);
    tb_int height = std::max(1, (source->Height + 1) / 2);
    auto half = TB_Ref<TB_NativeBitmap>::Adopt(new TB_NativeBitmap(width, height));
    tb_uint* out = half->Lock();
    const tb_uint* in = source->Lock();
    if (!out || !in) {
        source->Unlock();
        return {};
    }
    for (tb_int y = 0; y < height; ++y) {
        tb_int y0 = std::min(2 * y, source->Height - 1);
        tb_int y1 = std::min(2 * y + 1, source->Height - 1);
        for (tb_int x = 0; x < width; ++x) {
            tb_int x0 = std::min(2 * x, source->Width - 1);
            tb_int x1 = std::min(2 * x + 1, source->Width - 1);
            tb_uint alpha = 0, red = 0, green = 0, blue = 0;
            for (tb_int64 index : {static_cast<tb_int64>(y0) * source->Width + x0,
                                   static_cast<tb_int64>(y0) * source->Width + x1,
                                   static_cast<tb_int64>(y1) * source->Width + x0,
                                   static_cast<tb_int64>(y1) * source->Width + x1}) {
                tb_uint pixel = in[index];
                tb_uint a = pixel >> 24;
                alpha += a;
                red += ((pixel >> 16) & 0xFF) * a;
                green += ((pixel >> 8) & 0xFF) * a;
                blue += (pixel & 0xFF) * a;
            }
            tb_uint value = 0;
            if (alpha > 0) {
                value = ((alpha / 4) << 24) | ((red / alpha) << 16) | ((green / alpha) << 8) |
                        (blue / alpha);
            }
            out[x + static_cast<tb_int64>(y) * width] = value;
        }
    }
    source->Unlock();
    half->Unlock();
    return half;
}

// The source as a platform bitmap, so graphics can draw it.
TB_Ref<TB_NativeBitmap> NativeCopy(TB_Bitmap32* source) {
    if (auto* native = dynamic_cast<TB_NativeBitmap*>(source)) {
        return TB_Ref<TB_NativeBitmap>(native);
    }
    auto copy = TB_Ref<TB_NativeBitmap>::Adopt(new TB_NativeBitmap(source->Width, source->Height));
    tb_uint* out = copy->Lock();
    const tb_uint* in = source->Lock();
    if (out && in) {
        std::copy(in, in + static_cast<tb_int64>(source->Width) * source->Height, out);
    }
    source->Unlock();
    copy->Unlock();
    return copy;
}

// Bilinear sampling alone skips source pixels when shrinking by more than half, which makes
// photographs grainy; halving first keeps every pixel's share.
TB_Ref<TB_NativeBitmap> Scale(TB_Bitmap32* source, tb_int width, tb_int height) {
    TB_Ref<TB_NativeBitmap> work = NativeCopy(source);
    while (work && work->Width >= 2 * width && work->Height >= 2 * height) {
        work = Halve(work.Get());
    }
    if (!work || !work->PlatformImage()) {
        return {};
    }
    auto scaled = TB_Ref<TB_NativeBitmap>::Adopt(new TB_NativeBitmap(width, height));
    if (work->Width == width && work->Height == height) {
        tb_uint* out = scaled->Lock();
        const tb_uint* in = work->Lock();
        if (out && in) {
            std::copy(in, in + static_cast<tb_int64>(width) * height, out);
        }
        work->Unlock();
        scaled->Unlock();
        return scaled;
    }
    auto graphics = TB_Ref<TB_Graphics>::Adopt(new TB_Graphics(scaled.Get()));
    graphics->SetInterpolationMode(TB_InterpolationHighQualityBicubic);
    graphics->DrawImage(
        work.Get(),
        TB_Rectangle<float>{0, 0, static_cast<float>(width), static_cast<float>(height)},
        TB_Rectangle<float>{0, 0, static_cast<float>(work->Width),
                            static_cast<float>(work->Height)});
    return scaled;
}

}  // namespace

size_t TC_ThumbnailCache::KeyHash::operator()(const Key& key) const {
    size_t h = std::hash<const void*>()(key.Source);
    h ^= std::hash<tb_int64>()((static_cast<tb_int64>(key.Width) << 32) ^ key.Height) +
         0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    h ^= key.Inverted ? 0x51ED270B27CB4A2Dull : 0;
    return h;
}

TB_NativeBitmap* TC_ThumbnailCache::Get(TB_Bitmap32* source, tb_int width, tb_int height) {
    return Find(source, width, height, false);
}

TB_NativeBitmap* TC_ThumbnailCache::GetInverted(TB_Bitmap32* source, tb_int width, tb_int height) {
    return Find(source, width, height, true);
}

TB_NativeBitmap* TC_ThumbnailCache::Find(TB_Bitmap32* source, tb_int width, tb_int height,
                                         bool inverted) {
    if (!source || source->Width <= 0 || source->Height <= 0 || width <= 0 || height <= 0) {
        return nullptr;
    }
    Key key{source, width, height, inverted};
    auto found = m_entries.find(key);
    if (found != m_entries.end()) {
        return found->second.Scaled;
    }
    source->AddRef();
    TB_NativeBitmap* scaled = Scale(source, width, height).Detach();
    if (scaled && inverted) {
        if (tb_uint* pixel = scaled->Lock()) {
            for (tb_int64 i = 0, n = static_cast<tb_int64>(width) * height; i < n; ++i) {
                pixel[i] ^= 0x00FFFFFFu;  // the colour channels, the alpha kept
            }
        }
        scaled->Unlock();
    }
    ++m_made;
    m_entries.emplace(key, Entry{source, scaled});
    return scaled;
}

void TC_ThumbnailCache::Clear() {
    for (auto& [key, entry] : m_entries) {
        if (entry.Scaled) {
            entry.Scaled->Release();
        }
        entry.Source->Release();
    }
    m_entries.clear();
}

TB_Rectangle<float> TC_ThumbnailCache::FitSquare(float x, float y, float side, tb_int width,
                                                 tb_int height) {
    if (width <= 0 || height <= 0 || side <= 0) {
        return {x, y, 0, 0};
    }
    float w = side, h = side;
    if (width > height) {
        h = side * static_cast<float>(height) / static_cast<float>(width);
    } else {
        w = side * static_cast<float>(width) / static_cast<float>(height);
    }
    w = std::max(1.0f, std::round(w));
    h = std::max(1.0f, std::round(h));
    return {std::floor(x + (side - w) * 0.5f), std::floor(y + (side - h) * 0.5f), w, h};
}
