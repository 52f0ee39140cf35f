#pragma once

#include "tb_object.h"
#include "tb_string.h"

class TB_Graphics;

// The native font object that native edit controls use; fonts with equal logical records
// share one through a process-wide map.
class TB_HFONT_Object : public TB_Object {
public:
    explicit TB_HFONT_Object(void* font) : m_font(font) {}
    ~TB_HFONT_Object() override;
    void* NativeFont() const { return m_font; }  // QFont*

private:
    void* m_font;
};

// A font of "Meiryo UI" at a size in points, or the platform's sans-serif family (which
// shows Japanese) when that face is not installed.
class TB_Font : public TB_Object {
public:
    explicit TB_Font(float points);
    ~TB_Font() override;

    float Points() const { return m_points; }
    // The shared native font for edit controls; made on first use.
    TB_HFONT_Object* GetHandle(TB_Graphics* graphics);
    // True when the font has a glyph for every character of the text (no empty boxes).
    bool HasGlyphs(const TB_String& text) const;
    // The family actually used.
    TB_String FamilyName() const;

    void* PlatformFont() const { return m_font; }  // QFont*

    // Fonts sharing handles right now (for tests).
    static tb_int SharedHandleCount();

private:
    void* m_font;  // QFont*
    float m_points;
    TB_HFONT_Object* m_handle = nullptr;
};
