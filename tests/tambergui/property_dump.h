#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tb_inspectable.h"

// Dumps properties as indented "name: value" lines, lists as nested blocks.
class PropertyDump : public TB_IPropertyVisitor {
public:
    explicit PropertyDump(int depth = 0) : m_depth(depth) {}

    void WriteString(const TB_String& name, const TB_String& text) override {
        Line(name, "\"" + text.ToStdString() + "\"");
    }
    void WriteColor(const TB_String& name, const TB_Color& c) override {
        char buffer[96];
        std::snprintf(buffer, sizeof buffer, "rgba(%g, %g, %g, %g)", c.r, c.g, c.b, c.a);
        Line(name, buffer);
    }
    void WriteInt2(const TB_String& name, tb_int a, tb_int b) override {
        Line(name, "(" + std::to_string(a) + ", " + std::to_string(b) + ")");
    }
    void WriteRectangle(const TB_String& name, const TB_Rectangle<float>& r) override {
        char buffer[128];
        std::snprintf(buffer, sizeof buffer, "[%g, %g, %g, %g]", r.x, r.y, r.width, r.height);
        Line(name, buffer);
    }
    void WriteNull(const TB_String& name) override { Line(name, "null"); }
    void WriteInt64(const TB_String& name, tb_int64 v) override { Line(name, std::to_string(v)); }
    void WriteReal(const TB_String& name, double v) override {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.17g", v);
        Line(name, buffer);
    }
    void WriteInt(const TB_String& name, tb_int v) override { Line(name, std::to_string(v)); }
    void WriteBool(const TB_String& name, bool v) override { Line(name, v ? "true" : "false"); }
    TB_IPropertyVisitor& AddItem() override {
        m_children.push_back(std::make_unique<PropertyDump>(m_depth + 1));
        m_parts.push_back({"", m_children.back().get()});
        return *m_children.back();
    }
    TB_IPropertyVisitor& BeginList(const TB_String& name) override {
        m_children.push_back(std::make_unique<PropertyDump>(m_depth + 1));
        m_parts.push_back({Indent() + name.ToStdString() + ":\n", m_children.back().get()});
        return *m_children.back();
    }

    std::string Text() const {
        std::string out;
        for (const Part& part : m_parts) {
            if (part.child) {
                out += part.text;
                if (part.text.empty()) {
                    out += Indent() + "-\n";
                }
                out += part.child->Text();
            } else {
                out += part.text;
            }
        }
        return out;
    }

private:
    struct Part {
        std::string text;
        PropertyDump* child;
    };
    std::string Indent() const { return std::string(static_cast<size_t>(m_depth) * 2, ' '); }
    void Line(const TB_String& name, const std::string& value) {
        m_parts.push_back({Indent() + name.ToStdString() + ": " + value + "\n", nullptr});
    }

    int m_depth;
    std::vector<Part> m_parts;
    std::vector<std::unique_ptr<PropertyDump>> m_children;
};
