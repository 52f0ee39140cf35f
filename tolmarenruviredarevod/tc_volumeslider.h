#pragma once

#include "tb_canvas.h"

// The preview volume, 0 to 100: a speaker and a short track with a knob. Set by a press or a
// drag on the track, the wheel, and while focused the arrow keys (5), Page Up/Down (20), Home
// and End.
class TC_VolumeSlider : public TB_Canvas {
public:
    TC_VolumeSlider();

    // Clamped to 0..100; a change raises ValueChanged.
    void SetValue(tb_int value);
    tb_int GetValue() const { return m_value; }

    // "Value" after the widget's properties.
    bool Inspect(TB_IPropertyVisitor& visitor) override;
    void DescribeAccessible(TB_AccessibleInfo& info) override {
        TB_Canvas::DescribeAccessible(info);
        info.Role = TB_AccessibleRole::Slider;
        info.Focusable = true;
        info.HasRange = true;
        info.Maximum = 100;
        info.Current = m_value;
    }

    TB_Event<TB_EventArg> ValueChanged;

private:
    // The track's extent, in the slider's coordinates.
    void Track(float& from, float& to);
    void SetFromX(float x);
    void OnPaintHandler(TB_PaintEventArg& arg);
    void OnDownHandler(TB_MouseEventArg& arg);
    void OnMoveHandler(TB_MouseEventArg& arg);
    void OnWheelHandler(TB_MouseEventArg& arg);
    void OnKeyDownHandler(TB_KeyEventArg& arg);

    tb_int m_value = 100;
    bool m_dragging = false;
    float m_wheelRemainder = 0;
};
