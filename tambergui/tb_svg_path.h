#pragma once

#include "tb_pathrenderable.h"
#include "tb_rectangle.h"
#include "tb_string.h"

class TB_SvgPathData;

// Maps user-space points of an icon into the target rectangle: the view box's width and
// height fill the rectangle; its min-x and min-y are not subtracted.
struct TB_SvgMapping {
    TB_Rectangle<float> Rect;
    TB_Rectangle<float> ViewBox;

    float ScaleX() const { return Rect.width / ViewBox.width; }
    float ScaleY() const { return Rect.height / ViewBox.height; }
    // Finite whatever the input: absurd documents draw far away, never at NaN.
    TB_Vector2 Map(TB_Vector2 point) const;
};

// One command of path data. Coordinates are in user space; the current point is carried
// from command to command by the path.
class TB_Path_Command {
public:
    virtual ~TB_Path_Command() = default;
    virtual TB_String Name() const = 0;
    virtual void Apply(TB_IPathRenderable& renderable, TB_Vector2& currentPoint,
                       TB_SvgPathData& pathData, const TB_SvgMapping& mapping) = 0;

    bool Relative = false;

protected:
    TB_Vector2 Resolve(TB_Vector2 current, float x, float y) const {
        return Relative ? TB_Vector2{current.x + x, current.y + y} : TB_Vector2{x, y};
    }
};

// M m, and Z z (a move to 0, 0: absolute for Z, relative, so staying put, for z).
class TB_Path_MoveTo : public TB_Path_Command {
public:
    TB_String Name() const override { return u"MoveTo"; }
    void Apply(TB_IPathRenderable& renderable, TB_Vector2& currentPoint, TB_SvgPathData& pathData,
               const TB_SvgMapping& mapping) override;
    float x = 0, y = 0;
};

class TB_Path_LineTo : public TB_Path_Command {
public:
    TB_String Name() const override { return u"LineTo"; }
    void Apply(TB_IPathRenderable& renderable, TB_Vector2& currentPoint, TB_SvgPathData& pathData,
               const TB_SvgMapping& mapping) override;
    float x = 0, y = 0;
};

class TB_Path_Horizon : public TB_Path_Command {
public:
    TB_String Name() const override { return u"Horizon"; }
    void Apply(TB_IPathRenderable& renderable, TB_Vector2& currentPoint, TB_SvgPathData& pathData,
               const TB_SvgMapping& mapping) override;
    float x = 0;
};

class TB_Path_Vertical : public TB_Path_Command {
public:
    TB_String Name() const override { return u"Vertical"; }
    void Apply(TB_IPathRenderable& renderable, TB_Vector2& currentPoint, TB_SvgPathData& pathData,
               const TB_SvgMapping& mapping) override;
    float y = 0;
};

class TB_Path_Beizer : public TB_Path_Command {
public:
    TB_String Name() const override { return u"Beizer"; }
    void Apply(TB_IPathRenderable& renderable, TB_Vector2& currentPoint, TB_SvgPathData& pathData,
               const TB_SvgMapping& mapping) override;
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0, x = 0, y = 0;
};

class TB_Path_BeizerSmooth : public TB_Path_Command {
public:
    TB_String Name() const override { return u"BeizerSmooth"; }
    void Apply(TB_IPathRenderable& renderable, TB_Vector2& currentPoint, TB_SvgPathData& pathData,
               const TB_SvgMapping& mapping) override;
    float x2 = 0, y2 = 0, x = 0, y = 0;
};

// Circular arcs only: the rotation is read and ignored, and an arc whose radii differ is a
// jump to its end point.
class TB_Path_Arc : public TB_Path_Command {
public:
    TB_String Name() const override { return u"Arc"; }
    void Apply(TB_IPathRenderable& renderable, TB_Vector2& currentPoint, TB_SvgPathData& pathData,
               const TB_SvgMapping& mapping) override;
    float rx = 0, ry = 0;
    tb_int64 rotation = 0;
    tb_int largeArc = 0, sweep = 0;
    float x = 0, y = 0;
};
