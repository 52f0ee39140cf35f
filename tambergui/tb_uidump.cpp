#include "tb_uidump.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <typeinfo>

#include "tb_filestream.h"
#include "tb_jsonpropertywriter.h"
#include "tb_messagebox.h"
#include "tb_nativecontainer.h"
#include "tb_textbox.h"

namespace {

std::string ClassName(const TB_Widget& widget) {
    const char* mangled = typeid(widget).name();
    int status = 0;
    char* plain = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && plain ? plain : mangled;
    std::free(plain);
    return name;
}

// Passes a report on, but for the "Children" list, which the dump writes itself.
class WithoutChildren : public TB_IPropertyVisitor {
public:
    explicit WithoutChildren(TB_IPropertyVisitor& target) : m_target(target) {}
    void WriteString(const TB_String& n, const TB_String& v) override {
        m_target.WriteString(n, v);
    }
    void WriteColor(const TB_String& n, const TB_Color& v) override { m_target.WriteColor(n, v); }
    void WriteInt2(const TB_String& n, tb_int a, tb_int b) override { m_target.WriteInt2(n, a, b); }
    void WriteRectangle(const TB_String& n, const TB_Rectangle<float>& v) override {
        m_target.WriteRectangle(n, v);
    }
    void WriteNull(const TB_String& n) override { m_target.WriteNull(n); }
    void WriteInt64(const TB_String& n, tb_int64 v) override { m_target.WriteInt64(n, v); }
    void WriteReal(const TB_String& n, double v) override { m_target.WriteReal(n, v); }
    void WriteInt(const TB_String& n, tb_int v) override { m_target.WriteInt(n, v); }
    void WriteBool(const TB_String& n, bool v) override { m_target.WriteBool(n, v); }
    TB_IPropertyVisitor& AddItem() override { return m_target.AddItem(); }
    TB_IPropertyVisitor& BeginList(const TB_String& name) override {
        if (name.Equals(u"Children")) {
            return m_skip;
        }
        return m_target.BeginList(name);
    }

private:
    TB_IPropertyVisitor& m_target;
    TB_NullPropertyVisitor m_skip;
};

void DumpWidget(TB_JsonTextWriter& w, TB_NativeWidget& widget) {
    w.StartObject();
    w.Key("Class");
    std::string name = ClassName(widget);
    w.String(name.c_str(), static_cast<rapidjson::SizeType>(name.size()));
    w.Key("Id");
    TB_JsonPropertyWriter::String(w, widget.Id);
    w.Key("Text");
    // A password never leaves its box, not even into a bug report.
    auto* textBox = dynamic_cast<TB_TextBox*>(&widget);
    TB_JsonPropertyWriter::String(w, textBox ? textBox->DisplayText() : widget.GetText());
    w.Key("ScreenBounds");
    TB_Vector2 origin = widget.ClientToScreen(TB_Vector2{0, 0});
    w.StartArray();
    for (float value : {origin.x, origin.y, widget.Width, widget.Height}) {
        w.Double(value);
    }
    w.EndArray();
    w.Key("Visible");
    w.Bool(widget.IsVisible());
    w.Key("Enabled");
    w.Bool(widget.IsEnable());
    w.Key("Focused");
    w.Bool(widget.IsFocused());
    w.Key("ToolTip");
    TB_JsonPropertyWriter::String(w, widget.ToolTipText);
    w.Key("Properties");
    w.StartObject();
    {
        TB_JsonPropertyWriter properties(w);
        WithoutChildren filter(properties);
        widget.Inspect(filter);
        properties.Finish();
    }
    w.EndObject();
    w.Key("Children");
    w.StartArray();
    if (auto* container = dynamic_cast<TB_NativeContainer*>(&widget)) {
        for (TB_NativeWidget* child : container->Children) {
            DumpWidget(w, *child);
        }
    }
    w.EndArray();
    w.EndObject();
}

}  // namespace

std::string TB_UiDumpText() {
    rapidjson::StringBuffer buffer;
    TB_JsonTextWriter w(buffer);
    w.SetIndent(' ', 2);
    w.StartObject();
    w.Key("Windows");
    w.StartArray();
    std::vector<TB_NativeWidget*> windows = TB_GetPlatform().TopLevelWidgets();
    std::sort(windows.begin(), windows.end(),
              [](TB_NativeWidget* a, TB_NativeWidget* b) { return a->ControlId < b->ControlId; });
    for (TB_NativeWidget* window : windows) {
        TB_Ref<TB_NativeWidget> keep(window);
        DumpWidget(w, *window);
    }
    w.EndArray();
    w.Key("MessageBoxes");
    w.StartArray();
    for (const TB_OpenMessageBox& box : TB_OpenMessageBoxes()) {
        w.StartObject();
        w.Key("Title");
        TB_JsonPropertyWriter::String(w, box.Title);
        w.Key("Text");
        TB_JsonPropertyWriter::String(w, box.Text);
        w.Key("Buttons");
        w.StartArray();
        for (const TB_String& caption : box.Buttons) {
            TB_JsonPropertyWriter::String(w, caption);
        }
        w.EndArray();
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

bool TB_WriteUiDump(const TB_Uri& file) {
    std::string text = TB_UiDumpText();
    return TB_WriteFileAtomically(file, text.data(), static_cast<tb_int64>(text.size()));
}
