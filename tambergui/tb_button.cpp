#include "tb_button.h"

#include <algorithm>

#include "tb_globalstyle.h"

// ---- TB_Button ----

TB_Button::TB_Button() {
    Construct();
}

TB_Button::TB_Button(const TB_String& text) {
    Text = text;
    Construct();
}

TB_Button::TB_Button(const TB_String& text, TB_EventHandler<TB_MouseEventArg>* onClick) {
    Text = text;
    Construct();
    if (onClick) {
        Click.Add(onClick);
    }
}

void TB_Button::Construct() {
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    FocusOnPress = true;
    TabStop = true;
    PressedByKeys = true;
    TextColor = style.ButtonFontColor;
    DisabledTextColor = style.ButtonDisabledFontColor;
    Width = style.ButtonWidth;
    Height = style.ButtonHeight;
    // The control's own handlers come first, before any of the application.
    Paint.Add(this, &TB_Button::OnPaintHandler);
    MouseEnter.Add(this, &TB_Button::OnEnterHandler);
    MouseLeave.Add(this, &TB_Button::OnLeaveHandler);
    MouseDown.Add(this, &TB_Button::OnDownHandler);
    MouseUp.Add(this, &TB_Button::OnUpHandler);
    Click.Add(this, &TB_Button::OnClickHandler);
    KeyDown.Add(this, &TB_Button::OnKeyDownHandler);
}

TB_Button::~TB_Button() {
    if (IconBitmap) {
        IconBitmap->Release();
    }
    for (TB_SvgRenderer* image : {NormalImage, HoverImage, DisabledImage, PressedImage}) {
        if (image) {
            image->Release();
        }
    }
}

void TB_Button::Hold(TB_SvgRenderer*& slot, TB_SvgRenderer* image) {
    if (slot == image) {
        return;
    }
    if (image) {
        image->AddRef();
    }
    if (slot) {
        slot->Release();
    }
    slot = image;
}

void TB_Button::SetNormalImage(TB_SvgRenderer* image) {
    if (image != NormalImage) {
        Hold(NormalImage, image);
        Invalidate();
    }
}

void TB_Button::SetHoverImage(TB_SvgRenderer* image) {
    if (image != HoverImage) {
        Hold(HoverImage, image);
        Invalidate();
    }
}

void TB_Button::SetDisabledImage(TB_SvgRenderer* image) {
    if (image != DisabledImage) {
        Hold(DisabledImage, image);
        Invalidate();
    }
}

void TB_Button::SetPressedImage(TB_SvgRenderer* image) {
    if (image != PressedImage) {
        Hold(PressedImage, image);
        Invalidate();
    }
}

void TB_Button::DescribeAccessible(TB_AccessibleInfo& info) {
    TB_TextRenderWidget::DescribeAccessible(info);
    // The tooltip says what an icon does; the caption of an icon button is only its id.
    if (AccessibleName.IsEmpty() && !ToolTipText.IsEmpty()) {
        info.Name = ToolTipText;
    }
    info.Role = TB_AccessibleRole::Button;
    info.Focusable = true;
    if (Action) {
        info.Shortcut = Action->ShortcutText;
    }
}

bool TB_Button::DoAccessibleAction(tb_int item) {
    if (item >= 0 || !IsEnable()) {
        return false;
    }
    PerformClick();
    return true;
}

void TB_Button::PerformClick() {
    TB_Rectangle<float> client = GetClientRectangle();
    TB_MouseEventArg arg;
    arg.X = client.width * 0.5f;
    arg.Y = client.height * 0.5f;
    TB_Ref<TB_Button> keep(this);  // a click handler may release the button
    OnClick(arg);
}

void TB_Button::OnEnterHandler(TB_EventArg&) {
    Hovered = true;
    Invalidate();
}

void TB_Button::OnLeaveHandler(TB_EventArg&) {
    Hovered = false;
    Invalidate();
}

void TB_Button::OnDownHandler(TB_MouseEventArg&) {
    PressedLook = true;
    Invalidate();
}

void TB_Button::OnUpHandler(TB_MouseEventArg&) {
    PressedLook = false;
    Invalidate();
}

void TB_Button::OnClickHandler(TB_MouseEventArg&) {
    if (Action) {
        Action->Execute();
    }
}

void TB_Button::OnKeyDownHandler(TB_KeyEventArg& arg) {
    if ((arg.KeyCode == TB_VK_RETURN || arg.KeyCode == TB_VK_SPACE) && !arg.Control && !arg.Alt &&
        IsEnable()) {
        arg.Handled = true;
        PerformClick();
    }
}

void TB_Button::PaintButton(TB_PaintEventArg& arg) {
    TB_Graphics& g = *arg.Graphics;
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    TB_Rectangle<float> client = GetClientRectangle();
    float w = client.width;
    float h = client.height;
    bool enabled = IsEnable();
    g.Clear(BackgroundColor);

    TB_Color face = BackgroundColor;
    if (ButtonStyle != TB_ButtonStyle::Image) {
        face = PressedLook                               ? style.ButtonPressedFace
               : Hovered                                 ? style.ButtonHoverFace
               : ButtonStyle == TB_ButtonStyle::Standard ? style.ButtonFace
                                                         : BackgroundColor;
    }
    TB_SolidBrush faceBrush(face);
    g.Brush = &faceBrush;
    g.Pen = nullptr;
    g.DrawRectangle(TB_Rectangle<float>{0, 0, w, h});

    TB_SolidBrush textBrush(enabled ? TextColor : DisabledTextColor);
    g.Brush = &textBrush;
    if (!NormalImage && IconBitmap) {
        float o = std::min(h * 0.8f, h - 8);
        float bw = static_cast<float>(IconBitmap->Width);
        float bh = static_cast<float>(IconBitmap->Height);
        if (bh > 0 && bw / bh > 0) {
            float r = bw / bh;
            g.DrawImage(IconBitmap,
                        TB_Rectangle<float>{(w - o * r) * 0.5f, (h - o) * 0.5f, o * r, o},
                        TB_Rectangle<float>{0, 0, bw, bh});
        }
    } else if (!NormalImage) {
        g.Font = FontFor(g);
        TB_Vector2 size = g.MeasureString(Text);
        g.DrawString(Text, TB_Vector2{(w - size.x) * 0.5f,
                                      (h - size.y) * 0.5f + (PressedLook ? 1.0f : 0.0f)});
    } else if (ButtonStyle == TB_ButtonStyle::Image) {
        TB_SvgRenderer* image = !enabled      ? DisabledImage
                                : PressedLook ? PressedImage
                                : Hovered     ? HoverImage
                                              : NormalImage;
        if (!image) {
            image = NormalImage;  // a state without its own image shows the normal one
        }
        TB_Rectangle<float> box = image->GetViewBox();
        float innerW = w - 2, innerH = h - 2;
        if (box.width > 0 && box.height > 0 && innerW > 0 && innerH > 0) {
            float scale = std::min(innerW / box.width, innerH / box.height);
            float dw = box.width * scale, dh = box.height * scale;
            TB_SolidBrush iconBrush(TB_GlobalStyle::Hex(0x202020));
            g.Brush = &iconBrush;
            image->Render(
                g, TB_Rectangle<float>{1 + (innerW - dw) * 0.5f, 1 + (innerH - dh) * 0.5f, dw, dh},
                true);
            g.Brush = &textBrush;
        }
    } else {
        TB_Rectangle<float> box = NormalImage->GetViewBox();
        float r = box.height != 0 ? box.width / box.height : 0;
        float m = std::min(h * 0.8f, h - 10);
        if (h > w) {
            float u = std::min(w * 0.8f, w - 10);
            if (r > 0) {
                NormalImage->Render(
                    g,
                    TB_Rectangle<float>{(w - u) * 0.5f - 0.5f, (h - u / r) * 0.5f - 0.5f, u, u / r},
                    false);
            }
        } else if (r > 0) {
            NormalImage->Render(
                g, TB_Rectangle<float>{(w - m * r) * 0.5f - 0.5f, (h - m) * 0.5f - 0.5f, m * r, m},
                false);
        }
    }

    g.Brush = nullptr;
    if (ButtonStyle == TB_ButtonStyle::Standard) {
        TB_Pen border(enabled ? style.ButtonBorder : style.ButtonDisabledFontColor, 1);
        g.Pen = &border;
        g.DrawRectangle(TB_Rectangle<float>{1, 1, w - 3, h - 3});
        g.Pen = nullptr;
    }
    if (ShowsFocusRing()) {
        DrawFocusRing(g, TB_Rectangle<float>{0, 0, w, h});
    }
}

// ---- TB_ToggleButton ----

TB_ToggleButton::TB_ToggleButton() {
    Construct();
}

TB_ToggleButton::TB_ToggleButton(const TB_String& text) : TB_Button(text) {
    Construct();
}

void TB_ToggleButton::Construct() {
    Click.Add(this, &TB_ToggleButton::OnToggleClick);
}

TB_ToggleButton::~TB_ToggleButton() {
    if (UnselectedIconBitmap) {
        UnselectedIconBitmap->Release();
    }
    for (TB_SvgRenderer* image : {SelectedNormalImage, SelectedHoverImage, SelectedDisabledImage,
                                  SelectedPressedImage, UnselectedNormalImage, UnselectedHoverImage,
                                  UnselectedDisabledImage, UnselectedPressedImage}) {
        if (image) {
            image->Release();
        }
    }
}

void TB_ToggleButton::SetNormalImage(TB_SvgRenderer* image) {
    TB_Button::SetNormalImage(image);
    Hold(SelectedNormalImage, image);
}

void TB_ToggleButton::SetHoverImage(TB_SvgRenderer* image) {
    TB_Button::SetHoverImage(image);
    Hold(SelectedHoverImage, image);
}

void TB_ToggleButton::SetDisabledImage(TB_SvgRenderer* image) {
    TB_Button::SetDisabledImage(image);
    Hold(SelectedDisabledImage, image);
}

void TB_ToggleButton::SetPressedImage(TB_SvgRenderer* image) {
    TB_Button::SetPressedImage(image);
    Hold(SelectedPressedImage, image);
}

void TB_ToggleButton::OnToggleClick(TB_MouseEventArg&) {
    Selected = !Selected;
    OnSelectedChanged();
    Invalidate();
}

bool TB_ToggleButton::Inspect(TB_IPropertyVisitor& visitor) {
    TB_Button::Inspect(visitor);
    visitor.WriteBool(u"Selected", Selected);
    return true;
}

// Swaps in the unselected look for the paint and puts everything back afterwards; the slots
// are swapped as plain pointers, so no count changes hands.
void TB_ToggleButton::PaintControl(TB_PaintEventArg& arg) {
    TB_Color text = TextColor;
    TB_NativeBitmap* icon = IconBitmap;
    TB_SvgRenderer* images[4] = {NormalImage, HoverImage, DisabledImage, PressedImage};
    if (Selected) {
        TextColor = TB_GetGlobalStyle().ToggleSelectedText;
    } else if (ButtonStyle == TB_ButtonStyle::Image) {
        NormalImage = UnselectedNormalImage;
        HoverImage = UnselectedHoverImage;
        DisabledImage = UnselectedDisabledImage;
        PressedImage = UnselectedPressedImage;
    } else if (UnselectedNormalImage) {
        NormalImage = UnselectedNormalImage;
    } else if (UnselectedIconBitmap) {
        IconBitmap = UnselectedIconBitmap;
    }
    PaintButton(arg);
    TextColor = text;
    IconBitmap = icon;
    NormalImage = images[0];
    HoverImage = images[1];
    DisabledImage = images[2];
    PressedImage = images[3];
    if (Selected && ButtonStyle != TB_ButtonStyle::Image) {
        TB_Rectangle<float> client = GetClientRectangle();
        TB_Pen frame(TB_GetGlobalStyle().ToggleSelectedFrame, 1);
        arg.Graphics->Pen = &frame;
        arg.Graphics->Brush = nullptr;
        arg.Graphics->DrawRectangle(TB_Rectangle<float>{1, 1, client.width - 3, client.height - 3});
        arg.Graphics->Pen = nullptr;
    }
}
