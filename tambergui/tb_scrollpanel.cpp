#include "tb_scrollpanel.h"

#include <algorithm>
#include <cstdint>

#include "tb_inspectable.h"
#include "tb_message.h"
#include "tb_scrollbar.h"

TB_ScrollPanel::TB_ScrollPanel()
    : m_content(new TB_NativeContainer()), m_bar(new TB_ScrollBar(TB_Orientation::Vertical)) {
    m_content->Id = u"scrollContent";
    m_bar->Id = u"scroll";
    m_bar->ValueChanged.Add([this](TB_EventArg&) { m_content->SetPosition(0, -m_bar->Value); });
    AddChild(m_content);
    AddChild(m_bar);
}

void TB_ScrollPanel::AddContent(TB_NativeWidget* child) {
    m_content->AddChild(child);
}

void TB_ScrollPanel::SetContentSize(float width, float height) {
    m_content->SetSize(width, height);
    Layout();
}

float TB_ScrollPanel::BarWidth() const {
    return m_bar->Width;
}

bool TB_ScrollPanel::Scrolls() const {
    return m_content->Height > Height;
}

void TB_ScrollPanel::OnResized() {
    TB_NativeContainer::OnResized();
    Layout();
}

void TB_ScrollPanel::Layout() {
    m_content->BackgroundColor = BackgroundColor;
    bool scrolls = Scrolls();
    m_bar->SetBounds(Width - m_bar->Width, 0, m_bar->Width, Height);
    m_bar->SetVisible(scrolls);
    m_bar->SetEnable(scrolls);
    m_bar->Max = static_cast<tb_int>(m_content->Height);
    m_bar->LargeChange = static_cast<tb_int>(Height);
    m_bar->SmallChange = static_cast<tb_int>(Step);
    m_bar->Refresh();
    ScrollTo(scrolls ? static_cast<float>(m_bar->Value) : 0);
}

void TB_ScrollPanel::ScrollTo(float offset) {
    float last = std::max(0.0f, m_content->Height - Height);
    m_bar->SetValue(static_cast<int>(std::clamp(offset, 0.0f, last)));
    m_content->SetPosition(0, -static_cast<float>(m_bar->Value));
}

// The wheel reaches here from every control of the column that leaves it alone.
bool TB_ScrollPanel::WindowProc(TB_WindowHandle window, tb_uint message, tb_uint64 wParam,
                                tb_int64 lParam, tb_int64& result) {
    if (message == TB_WM_MOUSEWHEEL) {
        if (Scrolls()) {
            float notches = static_cast<std::int16_t>(TB_HighWord(wParam)) / 120.0f;
            ScrollTo(static_cast<float>(m_bar->Value) - notches * 3 * Step);
        }
        result = 0;
        return true;
    }
    return TB_NativeContainer::WindowProc(window, message, wParam, lParam, result);
}

void TB_ScrollPanel::RevealDescendant(TB_NativeWidget* widget) {
    if (widget->Parent != m_content) {
        return;
    }
    float offset = static_cast<float>(m_bar->Value);
    if (widget->Y < offset) {
        ScrollTo(widget->Y);
    } else if (widget->Y + widget->Height > offset + Height) {
        ScrollTo(widget->Y + widget->Height - Height);
    }
}

bool TB_ScrollPanel::Inspect(TB_IPropertyVisitor& visitor) {
    TB_NativeContainer::Inspect(visitor);
    visitor.WriteInt(u"ScrollOffset", m_bar->Value);
    visitor.WriteReal(u"ContentHeight", m_content->Height);
    return true;
}
