#include "tb_scrollbar.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "tb_globalstyle.h"

namespace {

bool Inside(const TB_Rectangle<float>& r, float x, float y) {
    return r.x <= x && x < r.x + r.width && r.y <= y && y < r.y + r.height;
}

int ToInt(tb_int64 value) {
    return static_cast<int>(std::clamp<tb_int64>(value, std::numeric_limits<int>::min(),
                                                 std::numeric_limits<int>::max()));
}

}  // namespace

TB_ScrollBar::TB_ScrollBar(tb_int orientation)
    : m_orientation(orientation), m_repeat(new TB_UiTimer(this)) {
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    m_arrow = style.ScrollBarArrowSize;
    m_inset = style.ScrollBarPadding;
    BackgroundColor = style.ScrollBackground;
    Width = IsVertical() ? style.ScrollBarWidth : 100;
    Height = IsVertical() ? 100 : style.ScrollBarWidth;
    m_repeat->SetInterval(kRepeatInterval);
    m_repeat->Tick.Add(this, &TB_ScrollBar::OnRepeatTick);
    Paint.Add(this, &TB_ScrollBar::OnPaintHandler);
    MouseDown.Add(this, &TB_ScrollBar::OnDownHandler);
    MouseMove.Add(this, &TB_ScrollBar::OnMoveHandler);
    MouseUp.Add(this, &TB_ScrollBar::OnUpHandler);
    MouseWheel.Add(this, &TB_ScrollBar::OnWheelHandler);
    MouseEnter.Add(this, &TB_ScrollBar::OnEnterHandler);
    MouseLeave.Add(this, &TB_ScrollBar::OnLeaveHandler);
    Resized.Add(this, &TB_ScrollBar::OnResizedHandler);
    UpdateThumb();
}

TB_ScrollBar::~TB_ScrollBar() {
    m_repeat->Stop();
    m_repeat->Release();
}

// Clamping comes before the comparison, so a step that cannot move the value (an arrow held
// at the end of the range) raises no events at all.
void TB_ScrollBar::SetValue(int value) {
    int clamped = std::max(Min, std::min(value, Max));
    if (clamped == Value) {
        return;
    }
    if (!m_wheeling) {
        m_wheelRemainder = 0;  // a wheel fraction belongs to the position it was turned at
    }
    TB_Ref<TB_ScrollBar> keep(this);  // a handler may release the bar
    if (!ChangeOpen) {
        ChangeOpen = true;
        OnValueChangeBegin();
    }
    Value = clamped;
    AccessibleChanged(TB_AccessibleChange::Value);
    OnValueChanged();
    ValueUpdated();
    if (!m_dragging && ChangeOpen) {
        ChangeOpen = false;
        OnValueChangeEnd();
    }
}

void TB_ScrollBar::Refresh() {
    UpdateThumb();
    Invalidate();
}

void TB_ScrollBar::SetEnable(bool enable) {
    TB_Canvas::SetEnable(enable);
    if (!enable) {
        // A disabled window gets no release, which would leave a drag's sequence open.
        m_hoveredArrow = 0;
        m_thumbHovered = false;
        EndInput();
    }
}

bool TB_ScrollBar::Inspect(TB_IPropertyVisitor& visitor) {
    TB_Canvas::Inspect(visitor);
    UpdateThumb();
    visitor.WriteInt(u"Value", Value);
    visitor.WriteInt(u"Max", Max);
    visitor.WriteInt(u"Min", Min);
    visitor.WriteInt(u"LargeChange", LargeChange);
    visitor.WriteInt(u"SmallChange", SmallChange);
    visitor.WriteRectangle(u"ThumbRect", m_thumb);
    visitor.WriteRectangle(u"DownButtonRect", GetDownButtonRect());
    visitor.WriteRectangle(u"UpButtonRect", GetUpButtonRect());
    return true;
}

TB_Rectangle<float> TB_ScrollBar::GetDownButtonRect() {
    TB_Rectangle<float> client = GetClientRectangle();
    return IsVertical() ? TB_Rectangle<float>{0, 0, client.width, m_arrow}
                        : TB_Rectangle<float>{0, 0, m_arrow, client.height};
}

TB_Rectangle<float> TB_ScrollBar::GetUpButtonRect() {
    TB_Rectangle<float> client = GetClientRectangle();
    return IsVertical() ? TB_Rectangle<float>{0, client.height - m_arrow, client.width, m_arrow}
                        : TB_Rectangle<float>{client.width - m_arrow, 0, m_arrow, client.height};
}

// The thumb is as long as the page is of the range, but at least a quarter arrow; a thumb at
// that minimum moves over the track less its own length, so it still reaches both ends. A
// range not larger than the page (or a track too short for a thumb) has nothing to scroll: the
// thumb fills the track, and no formula below divides by zero.
void TB_ScrollBar::UpdateThumb() {
    TB_Rectangle<float> client = GetClientRectangle();
    float length = IsVertical() ? client.height : client.width;
    float thickness = IsVertical() ? client.width : client.height;
    double minimum = m_arrow / 4.0;
    double range = static_cast<double>(Max) - Min;
    double page = std::max(0, LargeChange);
    m_trackStart = m_arrow;
    m_trackLength = std::max(0.0f, length - 2 * m_arrow);
    double track = m_trackLength;
    double start = m_trackStart;
    m_thumbAtMinimum = false;
    m_thumbFillsTrack = range <= 0 || page >= range || track <= minimum;
    double thumbLength = track;
    double position = start;
    if (!m_thumbFillsTrack) {
        double offset = static_cast<double>(Value) - Min;
        thumbLength = track * page / range;
        position = start + offset / range * track;
        if (thumbLength < minimum) {
            m_thumbAtMinimum = true;
            thumbLength = minimum;
            position = start + offset / (range - page) * (track - minimum);
        }
        position = std::max(position, start);
        if (position + thumbLength > start + track) {
            position = start + track - thumbLength;
        }
    }
    float across = std::max(0.0f, thickness - 2 * m_inset);
    auto p = static_cast<float>(position);
    auto l = static_cast<float>(thumbLength);
    m_thumb = IsVertical() ? TB_Rectangle<float>{m_inset, p, across, l}
                           : TB_Rectangle<float>{p, m_inset, l, across};
}

// The thumb's span along the bar, across the bar's whole thickness: a press beside the thumb's
// inset is still meant for the thumb.
bool TB_ScrollBar::OnThumb(float along) const {
    float from = IsVertical() ? m_thumb.y : m_thumb.x;
    float length = IsVertical() ? m_thumb.height : m_thumb.width;
    return from <= along && along < from + length;
}

void TB_ScrollBar::StepBack(tb_int64 amount) {
    if (amount > 0) {
        SetValue(ToInt(Value - amount));
    }
}

void TB_ScrollBar::StepForward(tb_int64 amount) {
    tb_int64 target = std::max<tb_int64>(Min, std::min(Value + amount, LastPage()));
    if (amount > 0 && target > Value) {
        SetValue(ToInt(target));
    }
}

void TB_ScrollBar::DragTo(float x, float y) {
    double minimum = m_arrow / 4.0;
    double travel = m_thumbAtMinimum ? m_trackLength - minimum : m_trackLength;
    if (m_thumbFillsTrack || travel <= 0) {
        return;  // nothing to scroll
    }
    double p = IsVertical() ? y - m_dragOffset.y : x - m_dragOffset.x;
    // Beyond the track the value is limited anyway; clamping first keeps the product in range.
    double f = std::clamp((p - m_trackStart) / travel, 0.0, 1.0);
    double range = static_cast<double>(Max) - Min;
    double span = m_thumbAtMinimum ? range - std::max(0, LargeChange) : range;
    tb_int64 value = Min + static_cast<tb_int64>(span * f);
    value = std::max<tb_int64>(Min, std::min(value, LastPage()));
    if (value != Value) {
        SetValue(ToInt(value));
    }
}

void TB_ScrollBar::EndInput() {
    if (m_heldArrow != 0) {
        m_heldArrow = 0;
        m_repeat->Stop();
    }
    if (m_dragging) {
        m_dragging = false;
        if (ChangeOpen) {
            TB_Ref<TB_ScrollBar> keep(this);
            ChangeOpen = false;
            OnValueChangeEnd();
        }
    }
}

void TB_ScrollBar::OnDownHandler(TB_MouseEventArg& arg) {
    // A second button during a drag or a held arrow is no new press.
    if (!arg.Left || !IsEnable() || m_heldArrow != 0 || m_dragging) {
        return;
    }
    UpdateThumb();
    if (Inside(GetDownButtonRect(), arg.X, arg.Y)) {
        m_heldArrow = -1;
        StepBack(SmallChange);
    } else if (Inside(GetUpButtonRect(), arg.X, arg.Y)) {
        m_heldArrow = 1;
        StepForward(SmallChange);
    } else if (OnThumb(Along(arg.X, arg.Y))) {
        m_dragging = true;
        m_dragOffset = TB_Vector2{arg.X - m_thumb.x, arg.Y - m_thumb.y};
    } else if (Along(arg.X, arg.Y) < Along(m_thumb.x, m_thumb.y)) {
        StepBack(LargeChange);
    } else {
        StepForward(LargeChange);
    }
    // A handler of the first step may have disabled the bar, which let go of the arrow.
    if (m_heldArrow != 0) {
        m_repeat->Start();
    }
    Invalidate();
}

void TB_ScrollBar::OnRepeatTick(TB_EventArg&) {
    TB_Ref<TB_ScrollBar> keep(this);
    if (m_heldArrow < 0) {
        StepBack(SmallChange);
    } else if (m_heldArrow > 0) {
        StepForward(SmallChange);
    } else {
        m_repeat->Stop();
    }
}

// Over the thumb the arrows lose their hover, which the two share an edge with at either end.
void TB_ScrollBar::OnMoveHandler(TB_MouseEventArg& arg) {
    if (!IsEnable()) {
        return;
    }
    tb_int arrow = Inside(GetDownButtonRect(), arg.X, arg.Y) ? -1
                   : Inside(GetUpButtonRect(), arg.X, arg.Y) ? 1
                                                             : 0;
    bool thumb = arrow == 0 && OnThumb(Along(arg.X, arg.Y));
    bool changed = arrow != m_hoveredArrow || thumb != m_thumbHovered;
    m_hoveredArrow = arrow;
    m_thumbHovered = thumb;
    if (m_dragging) {
        DragTo(arg.X, arg.Y);
    }
    if (changed) {
        Invalidate();
    }
}

// Only the left button drives the bar: another button let go while it is held changes nothing.
void TB_ScrollBar::OnUpHandler(TB_MouseEventArg& arg) {
    if (arg.Left) {
        return;
    }
    EndInput();
    Invalidate();
}

void TB_ScrollBar::OnLeaveHandler(TB_EventArg&) {
    m_hoveredArrow = 0;
    m_thumbHovered = false;
    Invalidate();
}

// An eighth of a page per notch, towards Max when the wheel turns towards the user. Wheels
// that report fractions of a notch add up: the fraction of a value step left over is kept for
// the next turn in the same direction, so many small turns move as far as one large one.
void TB_ScrollBar::OnWheelHandler(TB_MouseEventArg& arg) {
    if (!IsEnable() || !std::isfinite(arg.WheelDelta) || arg.WheelDelta == 0) {
        return;
    }
    double step = -static_cast<double>(LargeChange) * arg.WheelDelta * 0.125;
    if ((step > 0 && m_wheelRemainder < 0) || (step < 0 && m_wheelRemainder > 0)) {
        m_wheelRemainder = 0;  // turning back starts afresh
    }
    double total = step + m_wheelRemainder;
    double nearest = std::round(total);
    if (std::abs(total - nearest) < 1e-4) {
        total = nearest;  // thirds of a notch that add up to a whole step despite rounding
    }
    double whole = std::trunc(total);
    m_wheelRemainder = total - whole;
    if (whole == 0) {
        return;
    }
    // The total may exceed any int; the value is limited to the range below anyway.
    auto move = static_cast<tb_int64>(std::clamp(whole, -1e12, 1e12));
    m_wheeling = true;
    if (move > 0) {
        StepForward(move);
    } else {
        SetValue(ToInt(std::max<tb_int64>(Min, std::min(Value + move, LastPage()))));
    }
    m_wheeling = false;
}

void TB_ScrollBar::OnPaintHandler(TB_PaintEventArg& arg) {
    TB_Graphics& g = *arg.Graphics;
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    UpdateThumb();
    TB_Rectangle<float> client = GetClientRectangle();
    float w = client.width;
    float h = client.height;
    bool enabled = IsEnable();
    g.Clear(enabled ? BackgroundColor : style.ScrollDisabledBackground);
    g.Pen = nullptr;
    if (enabled) {
        TB_SolidBrush thumb(m_dragging       ? style.ScrollForePressed
                            : m_thumbHovered ? style.ScrollForeHover
                                             : style.ScrollFore);
        g.Brush = &thumb;
        g.DrawRectangle(m_thumb);
    }
    // Triangles pointing away from the track, inset a quarter arrow from their squares.
    float a = m_arrow / 4;
    for (tb_int arrow : {-1, 1}) {
        TB_Color color = !enabled                                      ? style.ScrollForeDisabled
                         : m_heldArrow == arrow                        ? style.ScrollForePressed
                         : m_heldArrow == 0 && m_hoveredArrow == arrow ? style.ScrollForeHover
                                                                       : style.ScrollFore;
        TB_SolidBrush brush(color);
        g.Brush = &brush;
        TB_Vector2 apex, base1, base2;
        if (IsVertical()) {
            float tip = arrow < 0 ? a : h - a;
            float back = arrow < 0 ? 3 * a : h - 3 * a;
            apex = TB_Vector2{w / 2, tip};
            base1 = TB_Vector2{a, back};
            base2 = TB_Vector2{w - a, back};
        } else {
            float tip = arrow < 0 ? a : w - a;
            float back = arrow < 0 ? 3 * a : w - 3 * a;
            apex = TB_Vector2{tip, h / 2};
            base1 = TB_Vector2{back, a};
            base2 = TB_Vector2{back, h - a};
        }
        g.BeginPath(apex);
        g.LineTo(base1);
        g.LineTo(base2);
        g.ClosePath();
        g.FillAndStroke();
    }
    g.Brush = nullptr;
}
