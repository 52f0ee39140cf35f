#pragma once

#include "tb_canvas.h"

// A check box with its caption to the right; a click or Enter toggles it while enabled.
class TB_CheckBox : public TB_TextRenderWidget {
public:
    explicit TB_CheckBox(const TB_String& text = TB_String(), float points = 0);

    // Stores the text and sizes the box to it.
    void SetText(const TB_String& text) override;
    // Height max(text, box); width text + box + gap.
    void AutoSizeToText() override;
    void DescribeAccessible(TB_AccessibleInfo& info) override {
        TB_TextRenderWidget::DescribeAccessible(info);
        info.Role = TB_AccessibleRole::CheckBox;
        info.Focusable = true;
        info.Checkable = true;
        info.Checked = Checked;
    }
    bool DoAccessibleAction(tb_int item) override {
        if (item >= 0 || !IsEnable()) {
            return false;
        }
        Toggle();
        return true;
    }
    virtual void OnCheckedChanged() {
        AccessibleChanged(TB_AccessibleChange::State);
        TB_EventArg arg;
        OnCheckedChanged(arg);
    }
    virtual void OnCheckedChanged(TB_EventArg& arg) { CheckedChanged.Fire(arg); }
    // Sets the state from code; CheckedChanged fires only when it changes.
    void SetChecked(bool checked);
    // "Checked" after the widget's properties.
    bool Inspect(TB_IPropertyVisitor& visitor) override;

    bool Checked = false;
    TB_Event<TB_EventArg> CheckedChanged;

private:
    void Toggle();
    void OnPaintHandler(TB_PaintEventArg& arg);
    void OnClickHandler(TB_MouseEventArg&);
    void OnKeyDownHandler(TB_KeyEventArg& arg);
    void OnResizedHandler(TB_EventArg&) { Invalidate(); }
};

// A text label, transparent on its parent by default and sized to its text.
class TB_Lable : public TB_TextRenderWidget {
public:
    TB_Lable();
    TB_Lable(const TB_String& text, float points);

    void SetText(const TB_String& text) override;
    void DescribeAccessible(TB_AccessibleInfo& info) override {
        TB_TextRenderWidget::DescribeAccessible(info);
        info.Role = TB_AccessibleRole::Label;
    }
    // The measured text plus 3 pixels of width.
    void AutoSizeToText() override;

    bool Highlight = false;
    bool Underline = false;
    TB_Color HighlightColor{1, 1, 1, 1};

private:
    void Construct();
    void OnPaintHandler(TB_PaintEventArg& arg);
    void OnResizedHandler(TB_EventArg&) { Invalidate(); }
};
