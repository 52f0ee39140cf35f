#pragma once

#include "tb_canvas.h"
#include "tb_paramwidget.h"
#include "tb_uitimer.h"

namespace TB_Orientation {
enum : tb_int { Horizontal = 0, Vertical = 1 };
}

// The toolkit's own scroll bar: an arrow at each end that steps by SmallChange and repeats
// while held, a track that pages by LargeChange, and a thumb as long as the page is of the
// range, which can be dragged. The bar's own input keeps Value within [Min, Max − LargeChange]
// (the last page); SetValue clamps only to [Min, Max]. When the range is not larger than the
// page the thumb fills the track. Owners set Max, Min, LargeChange and SmallChange directly and
// then call Refresh. Metrics and colours come from the global style as it is at construction.
class TB_ScrollBar : public TB_Canvas, public TB_IParamWidget<int> {
public:
    // 100 × the style's scroll bar width when horizontal, the width × 100 when vertical.
    explicit TB_ScrollBar(tb_int orientation = TB_Orientation::Vertical);
    ~TB_ScrollBar() override;

    // Clamps to [Min, Max]; a result equal to Value changes and raises nothing. Otherwise
    // ValueChangeBegin (when no sequence is open), the new Value, ValueChanged and, unless the
    // thumb is being dragged, ValueChangeEnd; a drag ends its sequence on release.
    void SetValue(int value) override;
    void ValueUpdated() override { Refresh(); }
    void Refresh() override;
    // Disabling ends a held arrow or a drag, closing an open sequence with ValueChangeEnd.
    void SetEnable(bool enable) override;
    // "Value", "Max", "Min", "LargeChange", "SmallChange", "ThumbRect", "DownButtonRect",
    // "UpButtonRect" after the widget's properties.
    bool Inspect(TB_IPropertyVisitor& visitor) override;
    void DescribeAccessible(TB_AccessibleInfo& info) override {
        TB_Canvas::DescribeAccessible(info);
        info.Role = TB_AccessibleRole::ScrollBar;
        info.HasRange = true;
        info.Minimum = Min;
        info.Maximum = Max;
        info.Current = Value;
    }

    tb_int GetOrientation() const { return m_orientation; }
    // Widget coordinates, as of the last Refresh, value change or resize.
    TB_Rectangle<float> GetThumbRect() const { return m_thumb; }
    // The decrement arrow, at the top or left end.
    TB_Rectangle<float> GetDownButtonRect();
    // The increment arrow, at the bottom or right end.
    TB_Rectangle<float> GetUpButtonRect();
    // -1 for the decrement arrow, 1 for the increment arrow, 0 for none.
    tb_int GetHeldArrow() const { return m_heldArrow; }
    tb_int GetHoveredArrow() const { return m_hoveredArrow; }
    bool IsDragging() const { return m_dragging; }
    bool IsThumbHovered() const { return m_thumbHovered; }
    const TB_UiTimer* GetRepeatTimer() const { return m_repeat; }

    static constexpr tb_int kRepeatInterval = 100;  // milliseconds, also before the first repeat

private:
    bool IsVertical() const { return m_orientation != TB_Orientation::Horizontal; }
    float Along(float x, float y) const { return IsVertical() ? y : x; }
    tb_int64 LastPage() const { return static_cast<tb_int64>(Max) - LargeChange; }
    void UpdateThumb();
    bool OnThumb(float along) const;
    // Both move in the input's direction only: an owner may have set Value past the last
    // page, and a step towards Max must not pull it back.
    void StepBack(tb_int64 amount);
    void StepForward(tb_int64 amount);
    void DragTo(float x, float y);
    // Lets go of a held arrow and ends a drag.
    void EndInput();

    void OnPaintHandler(TB_PaintEventArg& arg);
    void OnDownHandler(TB_MouseEventArg& arg);
    void OnMoveHandler(TB_MouseEventArg& arg);
    void OnUpHandler(TB_MouseEventArg& arg);
    void OnWheelHandler(TB_MouseEventArg& arg);
    void OnEnterHandler(TB_EventArg&) { Invalidate(); }
    void OnLeaveHandler(TB_EventArg&);
    void OnResizedHandler(TB_EventArg&) { Refresh(); }
    void OnRepeatTick(TB_EventArg&);

    tb_int m_orientation;
    float m_arrow;  // the arrows' length along the bar
    float m_inset;  // between the thumb and the bar's long sides
    TB_UiTimer* m_repeat;
    tb_int m_heldArrow = 0;
    tb_int m_hoveredArrow = 0;
    TB_Rectangle<float> m_thumb{0, 0, 0, 0};
    float m_trackStart = 0;
    float m_trackLength = 0;
    bool m_thumbAtMinimum = false;
    bool m_thumbFillsTrack = false;
    TB_Vector2 m_dragOffset{0, 0};
    bool m_dragging = false;
    bool m_thumbHovered = false;
    // Fractions of a value step left over from high-resolution wheels and touchpads.
    double m_wheelRemainder = 0;
    bool m_wheeling = false;
};
