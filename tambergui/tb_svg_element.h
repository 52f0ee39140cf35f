#pragma once

#include "tb_color.h"
#include "tb_list.h"
#include "tb_svg_path.h"

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tinyxml2 {
class XMLElement;
}

// A style rule of an icon: the class names its selectors name and the fill it gives them
// (null when it gives none).
class TB_CssStyleRule : public TB_Object {
public:
    ~TB_CssStyleRule() override { delete FillColor; }

    // Whether one of its selectors names the class.
    bool Names(std::u16string_view name) const { return m_names.count(std::u16string(name)) > 0; }
    void AddClassName(std::u16string_view name);

    TB_ListAutoRelease<TB_String*> ClassNames;
    TB_Color* FillColor = nullptr;  // owned

private:
    std::unordered_set<std::u16string> m_names;  // ClassNames, for lookups
};

// Passed down the tree while drawing: whether style rules colour the shapes, and the rules
// in scope (outer groups first; not owned). The rules with a fill are also indexed by the
// class names they name, so an element finds its rules without walking all of them: an icon
// of a hundred thousand rules draws in time linear in its rules and elements.
struct TB_SvgRenderContext {
    tb_int UseStyles = 0;
    TB_List<TB_CssStyleRule*> Rules;
    // Positions in Rules of the rules with a fill, by class name, in scope order.
    std::unordered_map<std::u16string, std::vector<tb_int>> FillsByClass;

    // Rules come into scope and leave it as a stack (a group's rules while it draws).
    void PushRule(TB_CssStyleRule* rule);
    void PopRules(tb_int count);  // back to the first count rules
};

// One element of an icon document. Lists own their elements.
class TB_SvgElement {
public:
    TB_SvgElement() = default;
    TB_SvgElement(const TB_SvgElement&) = delete;
    TB_SvgElement& operator=(const TB_SvgElement&) = delete;
    virtual ~TB_SvgElement() = default;

    // False when the element cannot be read, which fails the whole document.
    virtual bool Parse(const tinyxml2::XMLElement& element);
    virtual void Render(TB_IPathRenderable& renderable, const TB_SvgMapping& mapping,
                        TB_SvgRenderContext& context) = 0;

    // Draws the element with the brush of the last matching rule that has a fill (when the
    // context uses styles), then puts the pen and brush back.
    void RenderStyled(TB_IPathRenderable& renderable, const TB_SvgMapping& mapping,
                      TB_SvgRenderContext& context);

    TB_ListAutoRelease<TB_String*> ClassNames;

protected:
    bool ReadClass(const tinyxml2::XMLElement& element);
};

class TB_SvgGropuData : public TB_SvgElement {
public:
    ~TB_SvgGropuData() override;
    bool Parse(const tinyxml2::XMLElement& element) override;
    void Render(TB_IPathRenderable& renderable, const TB_SvgMapping& mapping,
                TB_SvgRenderContext& context) override;

    TB_List<TB_SvgElement*> Children;
    TB_ListAutoRelease<TB_CssStyleRule*> Rules;

protected:
    bool ParseChildren(const tinyxml2::XMLElement& element);
    void AddStyleRules(const char* css);
};

// The root: a group with a view box.
class TB_SvgData : public TB_SvgGropuData {
public:
    bool Parse(const tinyxml2::XMLElement& element) override;

    float ViewBoxX = 0, ViewBoxY = 0, ViewBoxWidth = 0, ViewBoxHeight = 0;
};

class TB_SvgPathData : public TB_SvgElement {
public:
    ~TB_SvgPathData() override;
    bool Parse(const tinyxml2::XMLElement& element) override;
    void Render(TB_IPathRenderable& renderable, const TB_SvgMapping& mapping,
                TB_SvgRenderContext& context) override;
    // Reads path data; false on an unknown command (the whole document then fails).
    bool ParseData(const char* data);

    TB_List<TB_Path_Command*> Commands;
    // Left by the latest curve command, also from one rendering to the next.
    TB_Vector2 LastControlPoint{0, 0};
};

class TB_SvgRectData : public TB_SvgElement {
public:
    bool Parse(const tinyxml2::XMLElement& element) override;
    void Render(TB_IPathRenderable& renderable, const TB_SvgMapping& mapping,
                TB_SvgRenderContext& context) override;
    float x = 0, y = 0, width = 0, height = 0;
};

class TB_SvgPolygonData : public TB_SvgElement {
public:
    bool Parse(const tinyxml2::XMLElement& element) override;
    void Render(TB_IPathRenderable& renderable, const TB_SvgMapping& mapping,
                TB_SvgRenderContext& context) override;
    TB_List<TB_Vector2> Points;
};

class TB_SvgLineData : public TB_SvgElement {
public:
    bool Parse(const tinyxml2::XMLElement& element) override;
    void Render(TB_IPathRenderable& renderable, const TB_SvgMapping& mapping,
                TB_SvgRenderContext& context) override;
    tb_int x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // truncated
};

class TB_SvgEllipseData : public TB_SvgElement {
public:
    bool Parse(const tinyxml2::XMLElement& element) override;
    void Render(TB_IPathRenderable& renderable, const TB_SvgMapping& mapping,
                TB_SvgRenderContext& context) override;
    float cx = 0, cy = 0, rx = 0, ry = 0;
};

class TB_SvgCircleData : public TB_SvgElement {
public:
    bool Parse(const tinyxml2::XMLElement& element) override;
    void Render(TB_IPathRenderable& renderable, const TB_SvgMapping& mapping,
                TB_SvgRenderContext& context) override;
    float cx = 0, cy = 0, r = 0;
};
