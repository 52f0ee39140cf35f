#include "tb_svg.h"

#include <tinyxml2.h>

#include <cmath>
#include <vector>

#include "tb_filestream.h"

TB_SvgRenderer::~TB_SvgRenderer() {
    delete m_document;
}

bool TB_SvgRenderer::LoadFile(const TB_Uri& uri) {
    TB_FileStream file(uri, TB_FileMode::Read);
    if (!file.IsOpen()) {
        return false;
    }
    tb_int64 length = file.GetLength();
    // Icons are small; a file the size of a video is not one.
    if (length < 0 || length > 64 * 1024 * 1024) {
        return false;
    }
    std::vector<char> buffer(static_cast<size_t>(length));
    tb_int64 read = length > 0 ? file.Read(buffer.data(), length) : 0;
    return Load(buffer.data(), static_cast<size_t>(read > 0 ? read : 0));
}

bool TB_SvgRenderer::LoadText(const char* text) {
    return Load(text ? text : "", static_cast<size_t>(-1));
}

bool TB_SvgRenderer::Load(const char* text, size_t length) {
    tinyxml2::XMLDocument xml;
    xml.Parse(text, length);  // the result is not checked: what was read is used
    const tinyxml2::XMLElement* svg = nullptr;
    for (const tinyxml2::XMLElement* element = xml.FirstChildElement(); element;
         element = element->NextSiblingElement()) {
        if (std::string_view(element->Name()) == "svg") {
            svg = element;
            break;
        }
    }
    if (!svg) {
        return m_document != nullptr;
    }
    auto* document = new TB_SvgData();
    delete m_document;
    m_document = document;
    if (!document->Parse(*svg)) {
        delete m_document;
        m_document = nullptr;
    }
    return m_document != nullptr;
}

TB_Rectangle<float> TB_SvgRenderer::GetViewBox() const {
    if (!m_document) {
        return TB_Rectangle<float>{0, 0, 0, 0};
    }
    return TB_Rectangle<float>{m_document->ViewBoxX, m_document->ViewBoxY, m_document->ViewBoxWidth,
                               m_document->ViewBoxHeight};
}

void TB_SvgRenderer::Render(TB_IPathRenderable& renderable, const TB_Rectangle<float>& rect,
                            bool useStyles) {
    if (!m_document || !(m_document->ViewBoxWidth > 0) || !(m_document->ViewBoxHeight > 0) ||
        !std::isfinite(rect.width) || !std::isfinite(rect.height)) {
        return;
    }
    TB_SvgMapping mapping{rect, GetViewBox()};
    TB_SvgRenderContext context;
    context.UseStyles = useStyles ? 1 : 0;
    m_document->RenderStyled(renderable, mapping, context);
}
