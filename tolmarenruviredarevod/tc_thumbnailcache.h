#pragma once

#include <unordered_map>

#include "tb_nativebitmap.h"
#include "tb_rectangle.h"

// Library thumbnails scaled to the sizes lists draw them at, made once per source bitmap and
// size so that painting a row only copies pixels. Each entry holds a count on its source, so
// a source's address cannot be reused by another bitmap while the entry lives.
class TC_ThumbnailCache {
public:
    TC_ThumbnailCache() = default;
    TC_ThumbnailCache(const TC_ThumbnailCache&) = delete;
    TC_ThumbnailCache& operator=(const TC_ThumbnailCache&) = delete;
    ~TC_ThumbnailCache() { Clear(); }

    // The source scaled to width x height (not counted; valid until Clear), made on first
    // use. Null for a missing or empty source or a size below one pixel.
    TB_NativeBitmap* Get(TB_Bitmap32* source, tb_int width, tb_int height);
    // The same with the colours inverted (the built-in thumbnail, dark on white, drawn on a
    // dark ground as light on black).
    TB_NativeBitmap* GetInverted(TB_Bitmap32* source, tb_int width, tb_int height);
    void Clear();
    tb_int Count() const { return static_cast<tb_int>(m_entries.size()); }
    // How many scaled bitmaps were made since construction (for tests and benchmarks).
    tb_int MadeCount() const { return m_made; }

    // The whole-pixel rectangle inside the square (x, y, side, side) that shows an image of the
    // given size with its aspect ratio kept, centred.
    static TB_Rectangle<float> FitSquare(float x, float y, float side, tb_int width, tb_int height);

private:
    struct Key {
        const TB_Bitmap32* Source;
        tb_int Width;
        tb_int Height;
        bool Inverted;
        bool operator==(const Key&) const = default;
    };
    TB_NativeBitmap* Find(TB_Bitmap32* source, tb_int width, tb_int height, bool inverted);
    struct KeyHash {
        size_t operator()(const Key& key) const;
    };
    struct Entry {
        TB_Bitmap32* Source;      // one count held
        TB_NativeBitmap* Scaled;  // one count held; null when scaling failed
    };

    std::unordered_map<Key, Entry, KeyHash> m_entries;
    tb_int m_made = 0;
};
