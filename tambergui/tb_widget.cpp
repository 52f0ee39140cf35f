#include "tb_widget.h"

#include "tb_globalstyle.h"

TB_Widget::TB_Widget() : BackgroundColor(TB_GetGlobalStyle().WidgetBackground) {}

TB_Widget::~TB_Widget() {
    if (Actions) {
        Actions->Release();
    }
}

TB_Widget* TB_Widget::FindById(const TB_String& id) {
    return Id.Equals(id) ? this : nullptr;
}

TB_Widget* TB_Widget::FindByText(const TB_String& text) {
    return GetText().Equals(text) ? this : nullptr;
}

TB_Vector2 TB_Widget::GetClientSize() {
    TB_Rectangle<float> client = GetClientRectangle();
    return TB_Vector2{client.width, client.height};
}

void TB_Widget::SetDock(tb_int dock) {
    Dock = dock;
    if (Parent) {
        Parent->PerformLayout();
    }
}

bool TB_Widget::HandlePointerMessage(TB_WindowHandle window, tb_uint message, tb_uint64 wParam,
                                     tb_int64 lParam, tb_int64& result) {
    TB_Ref<TB_Widget> guard(this);
    return TB_IPointerWidget::HandlePointerMessage(window, message, wParam, lParam, result);
}

bool TB_Widget::HandleKeyMessage(TB_WindowHandle window, tb_uint message, tb_uint64 wParam,
                                 tb_int64 lParam, tb_int64& result) {
    TB_Ref<TB_Widget> guard(this);
    return TB_IKeyWidget::HandleKeyMessage(window, message, wParam, lParam, result);
}

bool TB_Widget::Inspect(TB_IPropertyVisitor& visitor) {
    visitor.WriteString(TB_String(u"ID"), Id);
    visitor.WriteString(TB_String(u"Text"), GetText());
    visitor.WriteColor(TB_String(u"BackgroundColor"), GetBackgroundColor());
    visitor.WriteRectangle(TB_String(u"Bounds"), GetBounds());
    visitor.WriteBool(TB_String(u"Focus"), IsFocused());
    visitor.WriteBool(TB_String(u"Visible"), IsVisible());
    visitor.WriteBool(TB_String(u"Enable"), IsEnable());
    return true;
}
