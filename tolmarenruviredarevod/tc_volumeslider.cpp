#include "tc_volumeslider.h"

#include <algorithm>
#include <cmath>

#include "tb_globalstyle.h"
#include "tb_graphics.h"
#include "tb_message.h"

TC_VolumeSlider::TC_VolumeSlider() {
    TabStop = true;
    FocusOnPress = true;
    BackgroundColor = TB_GetGlobalStyle().WidgetBackground;
    SetToolTip(TB_String(u"音量"));
    Paint.Add(this, &TC_VolumeSlider::OnPaintHandler);
    MouseDown.Add(this, &TC_VolumeSlider::OnDownHandler);
    MouseMove.Add(this, &TC_VolumeSlider::OnMoveHandler);
    MouseUp.Add([this](TB_MouseEventArg&) { m_dragging = false; });
    MouseWheel.Add(this, &TC_VolumeSlider::OnWheelHandler);
    KeyDown.Add(this, &TC_VolumeSlider::OnKeyDownHandler);
    GotFocus.Add([this](TB_EventArg&) { Invalidate(); });
    LostFocus.Add([this](TB_EventArg&) { Invalidate(); });
}

void TC_VolumeSlider::SetValue(tb_int value) {
    value = std::clamp(value, 0, 100);
    if (value == m_value) {
        return;
    }
    m_value = value;
    Invalidate();
    AccessibleChanged(TB_AccessibleChange::Value);
    TB_EventArg arg;
    ValueChanged.Fire(arg);
}

bool TC_VolumeSlider::Inspect(TB_IPropertyVisitor& visitor) {
    TB_Canvas::Inspect(visitor);
    visitor.WriteInt(u"Value", m_value);
    return true;
}

void TC_VolumeSlider::Track(float& from, float& to) {
    TB_Rectangle<float> client = GetClientRectangle();
    float knob = 6 * TB_GetGlobalStyle().Scale;
    // The speaker takes a square of the height on the left.
    from = client.height * 0.8f + knob;
    to = std::max(from + 1, client.width - knob - 2);
}

void TC_VolumeSlider::SetFromX(float x) {
    float from = 0, to = 0;
    Track(from, to);
    SetValue(static_cast<tb_int>(std::lround((x - from) / (to - from) * 100)));
}

void TC_VolumeSlider::OnPaintHandler(TB_PaintEventArg& arg) {
    TB_Graphics& g = *arg.Graphics;
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    float s = style.Scale;
    TB_Brush* brushBefore = g.Brush;
    TB_Pen* penBefore = g.Pen;
    g.Clear(BackgroundColor);
    TB_Rectangle<float> client = GetClientRectangle();
    float h = client.height, middle = h / 2;
    TB_Color ink = IsEnable() ? style.TextColor : style.DisabledTextColor;

    // The speaker: a box and a cone; struck through when muted.
    float u = h * 0.1f;
    TB_SolidBrush inkBrush(ink);
    g.Brush = &inkBrush;
    g.Pen = nullptr;
    g.BeginPath(TB_Vector2{u, middle - u});
    g.LineTo(TB_Vector2{2.5f * u, middle - u});
    g.LineTo(TB_Vector2{4.5f * u, middle - 2.8f * u});
    g.LineTo(TB_Vector2{4.5f * u, middle + 2.8f * u});
    g.LineTo(TB_Vector2{2.5f * u, middle + u});
    g.LineTo(TB_Vector2{u, middle + u});
    g.ClosePath();
    g.FillAndStroke();
    TB_Pen stroke(ink, std::max(1.0f, std::round(1.5f * s)));
    g.Pen = &stroke;
    g.Brush = nullptr;
    if (m_value == 0) {
        g.DrawLine(TB_Vector2{5.5f * u, middle - 1.2f * u},
                   TB_Vector2{7.5f * u, middle + 1.2f * u});
        g.DrawLine(TB_Vector2{5.5f * u, middle + 1.2f * u},
                   TB_Vector2{7.5f * u, middle - 1.2f * u});
    } else {
        // One wave for a low level, two above half.
        constexpr double kQuarter = 3.14159265 / 4;
        for (float radius : {2.2f * u, 3.6f * u}) {
            if (radius > 3 * u && m_value <= 50) {
                break;
            }
            TB_Vector2 centre{3.5f * u, middle};
            g.BeginPath(TB_Vector2{centre.x + radius * 0.7071f, middle - radius * 0.7071f});
            g.ArcTo(centre, radius, -kQuarter, 2 * kQuarter);
            g.FillAndStroke();
        }
    }

    // The track, filled up to the knob in the accent.
    float from = 0, to = 0;
    Track(from, to);
    float knobX = from + (to - from) * static_cast<float>(m_value) / 100;
    float thickness = std::max(2.0f, std::round(4 * s));
    g.Pen = nullptr;
    TB_SolidBrush rest(style.ContentsDisabledBorder);
    g.Brush = &rest;
    g.DrawRectangle(TB_Rectangle<float>{from, middle - thickness / 2, to - from, thickness});
    TB_SolidBrush filled(IsEnable() ? style.FocusFrame : style.DisabledTextColor);
    g.Brush = &filled;
    g.DrawRectangle(TB_Rectangle<float>{from, middle - thickness / 2, knobX - from, thickness});
    float radius = 6 * s;
    g.BeginPath(TB_Vector2{knobX + radius, middle});
    g.ArcTo(TB_Vector2{knobX, middle}, radius, 0, 2 * 3.14159265);
    g.ClosePath();
    g.FillAndStroke();
    if (ShowsFocusRing()) {
        DrawFocusRing(g, client);
    }
    g.Brush = brushBefore;
    g.Pen = penBefore;
}

void TC_VolumeSlider::OnDownHandler(TB_MouseEventArg& arg) {
    if (!arg.Left || !IsEnable()) {
        return;
    }
    m_dragging = true;
    SetFromX(arg.X);
}

void TC_VolumeSlider::OnMoveHandler(TB_MouseEventArg& arg) {
    if (m_dragging && arg.Left) {
        SetFromX(arg.X);
    }
}

void TC_VolumeSlider::OnWheelHandler(TB_MouseEventArg& arg) {
    if (!IsEnable() || !std::isfinite(arg.WheelDelta)) {
        return;
    }
    // Five per notch; fractions of a notch (touchpads) add up.
    m_wheelRemainder += arg.WheelDelta * 5;
    float whole = std::trunc(m_wheelRemainder);
    m_wheelRemainder -= whole;
    SetValue(m_value + static_cast<tb_int>(whole));
}

void TC_VolumeSlider::OnKeyDownHandler(TB_KeyEventArg& arg) {
    if (arg.Control || arg.Alt || arg.Shift || !IsEnable()) {
        return;
    }
    tb_int value = m_value;
    switch (arg.KeyCode) {
        case TB_VK_LEFT:
        case TB_VK_DOWN:
            value -= 5;
            break;
        case TB_VK_RIGHT:
        case TB_VK_UP:
            value += 5;
            break;
        case TB_VK_NEXT:
            value -= 20;
            break;
        case TB_VK_PRIOR:
            value += 20;
            break;
        case TB_VK_HOME:
            value = 0;
            break;
        case TB_VK_END:
            value = 100;
            break;
        default:
            return;
    }
    arg.Handled = true;
    SetValue(value);
}
