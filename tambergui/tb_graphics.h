#pragma once

#include "tb_brush.h"
#include "tb_font.h"
#include "tb_list.h"
#include "tb_nativebitmap.h"
#include "tb_pathrenderable.h"
#include "tb_pen.h"
#include "tb_rectangle.h"

// A paintable platform surface other than a bitmap (a window), opaque to the toolkit.
class TB_PaintDevice;

enum : tb_int { TB_InterpolationNearestNeighbor = 5, TB_InterpolationHighQualityBicubic = 7 };

// A short-lived drawing surface with its current font, pen and brush (borrowed; null means
// nothing is drawn with that tool), a clip stack, a world transform and a path builder.
// Colours become ARGB by multiplying by 255 and truncating.
class TB_Graphics : public TB_Object, public TB_IPathRenderable {
public:
    // On a bitmap: no base clip.
    explicit TB_Graphics(TB_NativeBitmap* target);
    // On a platform surface, for the given area (the base clip).
    TB_Graphics(TB_PaintDevice* device, const TB_Rectangle<int>& area);
    TB_Graphics(const TB_Graphics&) = delete;
    TB_Graphics& operator=(const TB_Graphics&) = delete;
    ~TB_Graphics() override;

    void Clear(const TB_Color& color);
    void DrawString(const TB_String& text, TB_Vector2 origin);
    void DrawString(const TB_String& text, const TB_Rectangle<float>& layout);
    TB_Vector2 MeasureString(const TB_String& text);
    TB_Vector2 MeasureString(const TB_String& text, TB_Vector2 maxSize);
    // Fills with the brush, then outlines with the pen; widths reaching past x = 1,000,000
    // are cut there.
    void DrawRectangle(const TB_Rectangle<float>& rectangle);
    void DrawLine(TB_Vector2 from, TB_Vector2 to);
    void DrawImage(TB_NativeBitmap* bitmap, const TB_Rectangle<float>& destination,
                   const TB_Rectangle<float>& source);
    void SetInterpolationMode(tb_int mode);

    void SetClip(const TB_Rectangle<float>& clip);
    // Saves the current clip and clips to its integer intersection with the rectangle.
    void PushClip(const TB_Rectangle<float>& clip);
    void PopClip();
    // Back to the base clip (or none), with the stack emptied.
    void RestoreClip();
    // The current clip in whole pixels; a huge rectangle when there is none.
    TB_Rectangle<int> GetClipBounds() const;

    void FillAndStroke() override;
    void BeginPath(TB_Vector2 start) override;
    void MoveTo(TB_Vector2 point) override;
    void LineTo(TB_Vector2 point) override;
    void ArcTo(TB_Vector2 center, float radius, double start, double sweep) override;
    void BezierTo(TB_Vector2 control1, TB_Vector2 control2, TB_Vector2 end) override;
    void ClosePath() override;
    void DiscardPath() override;
    void SetTransform(const float matrix[9]) override;
    void ResetTransform() override;
    const float* GetTransform() override { return Transform; }
    TB_Brush* GetBrush() override { return Brush; }
    void SetBrush(TB_Brush* brush) override { Brush = brush; }
    TB_Pen* GetPen() override { return Pen; }
    void SetPen(TB_Pen* pen) override { Pen = pen; }

    TB_NativeBitmap* Target = nullptr;
    TB_Font* Font = nullptr;
    TB_Pen* Pen = nullptr;
    TB_Brush* Brush = nullptr;
    TB_Font* DefaultFont;
    TB_Pen* DefaultPen;
    TB_Brush* DefaultBrush;
    float Transform[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    TB_Rectangle<int> BaseClip;
    bool HasBaseClip = false;
    TB_List<TB_Rectangle<float>> ClipStack;
    TB_Vector2 CurrentPoint;

    // The platform painter, for the platform layer.
    void* PlatformPainter() const { return m_painter; }

private:
    void Begin(void* device);
    float StrokeOffset() const;
    void ApplyClip(const TB_Rectangle<float>* clip);

    void* m_painter = nullptr;  // QPainter*
    void* m_path = nullptr;     // QPainterPath*
    bool m_hasClip = false;
    TB_Rectangle<float> m_clip;
};
