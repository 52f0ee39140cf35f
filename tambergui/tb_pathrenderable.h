#pragma once

#include "tb_vector2.h"

class TB_Brush;
class TB_Pen;

// Builds and draws paths: the interface the SVG renderer draws icons through. Angles are
// radians, clockwise in the y-down space.
class TB_IPathRenderable {
public:
    virtual ~TB_IPathRenderable() = default;
    virtual void FillAndStroke() = 0;
    virtual void BeginPath(TB_Vector2 start) = 0;
    virtual void MoveTo(TB_Vector2 point) = 0;
    virtual void LineTo(TB_Vector2 point) = 0;
    virtual void ArcTo(TB_Vector2 center, float radius, double start, double sweep) = 0;
    virtual void BezierTo(TB_Vector2 control1, TB_Vector2 control2, TB_Vector2 end) = 0;
    virtual void ClosePath() = 0;
    virtual void DiscardPath() = 0;
    // A row-major 3 x 3 matrix; elements 0, 1, 3, 4, 6 and 7 form the affine transform.
    virtual void SetTransform(const float matrix[9]) = 0;
    virtual void ResetTransform() = 0;
    virtual const float* GetTransform() = 0;
    // The current fill and outline (borrowed; null draws nothing with that tool). Icons with
    // style rules swap the brush per shape and put it back.
    virtual TB_Brush* GetBrush() = 0;
    virtual void SetBrush(TB_Brush* brush) = 0;
    virtual TB_Pen* GetPen() = 0;
    virtual void SetPen(TB_Pen* pen) = 0;
};
