#include "tb_jsonpropertywriter.h"

#include <cmath>
#include <string>

TB_JsonPropertyWriter::TB_JsonPropertyWriter(TB_JsonTextWriter& writer)
    : m_ownShared(new Shared{writer, {}, {}}), m_depth(0), m_isList(false) {
    m_shared = m_ownShared.get();
}

TB_JsonPropertyWriter::TB_JsonPropertyWriter(Shared* shared, int depth, bool isList)
    : m_shared(shared), m_depth(depth), m_isList(isList) {}

void TB_JsonPropertyWriter::String(TB_JsonTextWriter& writer, const TB_String& text) {
    std::string utf8 = text.ToStdString();
    writer.String(utf8.c_str(), static_cast<rapidjson::SizeType>(utf8.size()));
}

void TB_JsonPropertyWriter::CloseDeeper() {
    auto& open = m_shared->open;
    while (!open.empty() && open.back()->m_depth > m_depth) {
        if (open.back()->m_isList) {
            m_shared->writer.EndArray();
        } else {
            m_shared->writer.EndObject();
        }
        open.pop_back();
    }
}

void TB_JsonPropertyWriter::Begin(const TB_String& name) {
    CloseDeeper();
    if (!m_isList) {
        String(m_shared->writer, name);
    }
}

void TB_JsonPropertyWriter::Finish() {
    CloseDeeper();
}

void TB_JsonPropertyWriter::WriteString(const TB_String& name, const TB_String& text) {
    Begin(name);
    String(m_shared->writer, text);
}

namespace {

double Finite(double value) {
    return std::isfinite(value) ? value : 0.0;
}

}  // namespace

void TB_JsonPropertyWriter::WriteColor(const TB_String& name, const TB_Color& color) {
    Begin(name);
    auto& w = m_shared->writer;
    w.StartArray();
    for (float component : {color.r, color.g, color.b, color.a}) {
        w.Double(Finite(component));
    }
    w.EndArray();
}

void TB_JsonPropertyWriter::WriteInt2(const TB_String& name, tb_int first, tb_int second) {
    Begin(name);
    auto& w = m_shared->writer;
    w.StartArray();
    w.Int(first);
    w.Int(second);
    w.EndArray();
}

void TB_JsonPropertyWriter::WriteRectangle(const TB_String& name,
                                           const TB_Rectangle<float>& rectangle) {
    Begin(name);
    auto& w = m_shared->writer;
    w.StartArray();
    for (float value : {rectangle.x, rectangle.y, rectangle.width, rectangle.height}) {
        w.Double(Finite(value));
    }
    w.EndArray();
}

void TB_JsonPropertyWriter::WriteNull(const TB_String& name) {
    Begin(name);
    m_shared->writer.Null();
}

void TB_JsonPropertyWriter::WriteInt64(const TB_String& name, tb_int64 value) {
    Begin(name);
    m_shared->writer.Int64(value);
}

void TB_JsonPropertyWriter::WriteReal(const TB_String& name, double value) {
    Begin(name);
    m_shared->writer.Double(Finite(value));
}

void TB_JsonPropertyWriter::WriteInt(const TB_String& name, tb_int value) {
    Begin(name);
    m_shared->writer.Int(value);
}

void TB_JsonPropertyWriter::WriteBool(const TB_String& name, bool value) {
    Begin(name);
    m_shared->writer.Bool(value);
}

TB_IPropertyVisitor& TB_JsonPropertyWriter::AddItem() {
    Begin(u"item");  // the name is written only when asked of an object
    m_shared->writer.StartObject();
    m_shared->nodes.push_back(TB_JsonPropertyWriter(m_shared, m_depth + 1, false));
    m_shared->open.push_back(&m_shared->nodes.back());
    return m_shared->nodes.back();
}

TB_IPropertyVisitor& TB_JsonPropertyWriter::BeginList(const TB_String& name) {
    Begin(name);
    m_shared->writer.StartArray();
    m_shared->nodes.push_back(TB_JsonPropertyWriter(m_shared, m_depth + 1, true));
    m_shared->open.push_back(&m_shared->nodes.back());
    return m_shared->nodes.back();
}
