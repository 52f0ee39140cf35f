#pragma once

#include "tb_svg_element.h"
#include "tb_uri.h"

// An icon: an SVG document read once into a tree of shapes and drawn as often as needed into
// any rectangle, through the path interface of a graphics.
class TB_SvgRenderer : public TB_Object {
public:
    TB_SvgRenderer() = default;
    ~TB_SvgRenderer() override;

    // Reads the file; true when a document exists afterwards.
    bool LoadFile(const TB_Uri& uri);
    // Reads NUL-terminated UTF-8 text; true when a document exists afterwards.
    bool LoadText(const char* text);
    // min-x, min-y, width, height; all 0 without a document.
    TB_Rectangle<float> GetViewBox() const;
    bool HasDocument() const { return m_document != nullptr; }
    // Draws so that the view box's width and height fill rect. Without styles every shape
    // takes the graphics' brush and pen; with them, the fill of matching style rules
    // replaces the brush per shape. Nothing without a document or with an empty view box.
    void Render(TB_IPathRenderable& renderable, const TB_Rectangle<float>& rect, bool useStyles);

private:
    bool Load(const char* text, size_t length);

    TB_SvgData* m_document = nullptr;
};
