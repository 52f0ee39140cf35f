#pragma once

#include "tb_action.h"
#include "tb_canvas.h"
#include "tb_svg.h"

namespace TB_ButtonStyle {
enum : tb_int { Standard = 0, Flat = 1, Image = 2 };
}

// A push button: a face that follows the pointer and the press, a caption (or a bitmap icon,
// or an SVG image per state), a focus frame, and an optional action run on every click.
class TB_Button : public TB_TextRenderWidget {
public:
    TB_Button();
    explicit TB_Button(const TB_String& text);
    TB_Button(const TB_String& text, TB_EventHandler<TB_MouseEventArg>* onClick);
    ~TB_Button() override;

    void AutoSizeToText() override {}
    // Each holds one count of the new image and releases the old one.
    virtual void SetNormalImage(TB_SvgRenderer* image);
    virtual void SetHoverImage(TB_SvgRenderer* image);
    virtual void SetDisabledImage(TB_SvgRenderer* image);
    virtual void SetPressedImage(TB_SvgRenderer* image);
    // Clicks as the pointer would, at the middle of the button (no MouseDown or MouseUp).
    void PerformClick();
    // A push button named by its caption, or by its tooltip when it shows an icon.
    void DescribeAccessible(TB_AccessibleInfo& info) override;
    bool DoAccessibleAction(tb_int item) override;

    bool Hovered = false;
    bool PressedLook = false;
    TB_Action* Action = nullptr;            // not owned
    TB_NativeBitmap* IconBitmap = nullptr;  // one count held
    TB_SvgRenderer* NormalImage = nullptr;  // one count held each
    TB_SvgRenderer* HoverImage = nullptr;
    TB_SvgRenderer* DisabledImage = nullptr;
    TB_SvgRenderer* PressedImage = nullptr;
    tb_int ButtonStyle = TB_ButtonStyle::Standard;

protected:
    // The button's painting; the toggle button wraps it in its own.
    virtual void PaintControl(TB_PaintEventArg& arg) { PaintButton(arg); }
    void PaintButton(TB_PaintEventArg& arg);
    static void Hold(TB_SvgRenderer*& slot, TB_SvgRenderer* image);

private:
    void Construct();
    void OnPaintHandler(TB_PaintEventArg& arg) { PaintControl(arg); }
    void OnEnterHandler(TB_EventArg&);
    void OnLeaveHandler(TB_EventArg&);
    void OnDownHandler(TB_MouseEventArg&);
    void OnUpHandler(TB_MouseEventArg&);
    void OnClickHandler(TB_MouseEventArg&);
    void OnKeyDownHandler(TB_KeyEventArg& arg);
};

// A button with a selected state. While not selected it shows the unselected image set (or
// icon bitmap); SelectedChanged fires after the button's own click handling, so the action
// sees the old state.
class TB_ToggleButton : public TB_Button {
public:
    TB_ToggleButton();
    explicit TB_ToggleButton(const TB_String& text);
    ~TB_ToggleButton() override;

    void SetNormalImage(TB_SvgRenderer* image) override;
    void SetHoverImage(TB_SvgRenderer* image) override;
    void SetDisabledImage(TB_SvgRenderer* image) override;
    void SetPressedImage(TB_SvgRenderer* image) override;
    // Set without repainting.
    void SetUnselectedNormalImage(TB_SvgRenderer* image) { Hold(UnselectedNormalImage, image); }
    void SetUnselectedHoverImage(TB_SvgRenderer* image) { Hold(UnselectedHoverImage, image); }
    void SetUnselectedDisabledImage(TB_SvgRenderer* image) { Hold(UnselectedDisabledImage, image); }
    void SetUnselectedPressedImage(TB_SvgRenderer* image) { Hold(UnselectedPressedImage, image); }

    virtual void OnSelectedChanged() {
        AccessibleChanged(TB_AccessibleChange::State);
        TB_EventArg arg;
        OnSelectedChanged(arg);
    }
    void DescribeAccessible(TB_AccessibleInfo& info) override {
        TB_Button::DescribeAccessible(info);
        info.Role = TB_AccessibleRole::ToggleButton;
        info.Checkable = true;
        info.Checked = Selected;
    }
    virtual void OnSelectedChanged(TB_EventArg& arg) { SelectedChanged.Fire(arg); }
    // "Selected" after the widget's properties.
    bool Inspect(TB_IPropertyVisitor& visitor) override;

    bool Selected = false;
    TB_NativeBitmap* UnselectedIconBitmap = nullptr;  // one count held
    TB_SvgRenderer* SelectedNormalImage = nullptr;    // copies of the button's images
    TB_SvgRenderer* SelectedHoverImage = nullptr;
    TB_SvgRenderer* SelectedDisabledImage = nullptr;
    TB_SvgRenderer* SelectedPressedImage = nullptr;
    TB_SvgRenderer* UnselectedNormalImage = nullptr;
    TB_SvgRenderer* UnselectedHoverImage = nullptr;
    TB_SvgRenderer* UnselectedDisabledImage = nullptr;
    TB_SvgRenderer* UnselectedPressedImage = nullptr;
    TB_Event<TB_EventArg> SelectedChanged;

protected:
    void PaintControl(TB_PaintEventArg& arg) override;

private:
    void Construct();
    void OnToggleClick(TB_MouseEventArg&);
};
