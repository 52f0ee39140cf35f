#include "tb_checkbox.h"

#include <algorithm>

#include "tb_globalstyle.h"

// ---- TB_CheckBox ----

TB_CheckBox::TB_CheckBox(const TB_String& text, float points) : TB_TextRenderWidget(points) {
    Text = text;
    FocusOnPress = true;
    AutoSize = true;
    TabStop = true;
    PressedByKeys = true;
    Paint.Add(this, &TB_CheckBox::OnPaintHandler);
    Click.Add(this, &TB_CheckBox::OnClickHandler);
    KeyDown.Add(this, &TB_CheckBox::OnKeyDownHandler);
    Resized.Add(this, &TB_CheckBox::OnResizedHandler);
    if (!Text.IsEmpty()) {
        AutoSizeToText();
    }
}

void TB_CheckBox::SetText(const TB_String& text) {
    TB_TextRenderWidget::SetText(text);
    AutoSizeToText();
}

void TB_CheckBox::AutoSizeToText() {
    if (!AutoSize) {
        return;
    }
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    TB_Vector2 size = MeasureText(Text);
    SetSize(size.x + style.CheckBoxSize + style.CheckBoxSpacing,
            std::max(size.y, style.CheckBoxSize));
}

void TB_CheckBox::SetChecked(bool checked) {
    if (Checked != checked) {
        Checked = checked;
        OnCheckedChanged();
        Invalidate();
    }
}

bool TB_CheckBox::Inspect(TB_IPropertyVisitor& visitor) {
    TB_TextRenderWidget::Inspect(visitor);
    visitor.WriteBool(u"Checked", Checked);
    return true;
}

void TB_CheckBox::Toggle() {
    Checked = !Checked;
    OnCheckedChanged();
    Invalidate();
}

void TB_CheckBox::OnClickHandler(TB_MouseEventArg&) {
    if (IsEnable()) {
        Toggle();
    }
}

void TB_CheckBox::OnKeyDownHandler(TB_KeyEventArg& arg) {
    if ((arg.KeyCode == TB_VK_RETURN || arg.KeyCode == TB_VK_SPACE) && !arg.Control && !arg.Alt &&
        IsEnable()) {
        arg.Handled = true;
        Toggle();
    }
}

void TB_CheckBox::OnPaintHandler(TB_PaintEventArg& arg) {
    TB_Graphics& g = *arg.Graphics;
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    TB_Rectangle<float> client = GetClientRectangle();
    float h = client.height;
    float box = style.CheckBoxSize;
    bool enabled = IsEnable();
    g.Clear(BackgroundColor);
    float boxY = (h - box) * 0.5f;
    TB_SolidBrush fill(enabled ? style.CheckBoxFill : style.CheckBoxDisabledFill);
    TB_Pen outline(style.CheckBoxMark, 1);
    g.Brush = &fill;
    g.Pen = &outline;
    g.DrawRectangle(TB_Rectangle<float>{0, boxY, box, box});
    g.Brush = nullptr;
    g.Pen = nullptr;
    if (enabled && ShowsFocusRing()) {
        DrawFocusRing(g, TB_Rectangle<float>{0, 0, client.width, h});
    }
    if (Checked) {
        static const float kMark[5][2] = {
            {0.3f, 0.25f}, {0.4f, 0.6f}, {1.0f, 0.0f}, {0.4f, 1.0f}, {0.05f, 0.5f}};
        TB_SolidBrush mark(style.CheckBoxMark);
        g.Brush = &mark;
        g.BeginPath(TB_Vector2{kMark[0][0] * box, boxY + kMark[0][1] * box});
        for (int i = 1; i < 5; ++i) {
            g.LineTo(TB_Vector2{kMark[i][0] * box, boxY + kMark[i][1] * box});
        }
        g.ClosePath();
        g.FillAndStroke();
        g.Brush = nullptr;
    }
    if (!Text.IsEmpty()) {
        g.Font = FontFor(g);
        TB_SolidBrush text(enabled ? TextColor : DisabledTextColor);
        g.Brush = &text;
        TB_Vector2 size = g.MeasureString(Text);
        g.DrawString(Text, TB_Vector2{box + style.CheckBoxSpacing, (h - size.y) * 0.5f});
        g.Brush = nullptr;
    }
}

// ---- TB_Lable ----

TB_Lable::TB_Lable() {
    Text = u"label";
    Construct();
}

TB_Lable::TB_Lable(const TB_String& text, float points) : TB_TextRenderWidget(points) {
    Text = text;
    Construct();
}

void TB_Lable::Construct() {
    BackgroundColor = TB_Color{0, 0, 0, 0};
    AutoSize = true;
    Paint.Add(this, &TB_Lable::OnPaintHandler);
    Resized.Add(this, &TB_Lable::OnResizedHandler);
    AutoSizeToText();
}

void TB_Lable::SetText(const TB_String& text) {
    TB_TextRenderWidget::SetText(text);
    AutoSizeToText();
}

void TB_Lable::AutoSizeToText() {
    if (AutoSize) {
        TB_Vector2 size = MeasureText(Text);
        SetSize(size.x + 3, size.y);
    }
}

void TB_Lable::OnPaintHandler(TB_PaintEventArg& arg) {
    TB_Graphics& g = *arg.Graphics;
    TB_Rectangle<float> client = GetClientRectangle();
    if (BackgroundColor.a != 0) {
        g.Clear(BackgroundColor);
    } else if (Parent) {
        g.Clear(Parent->GetBackgroundColor());  // looks transparent on a plain parent
    }
    if (Text.IsEmpty()) {
        return;
    }
    TB_Color color = !IsEnable() ? DisabledTextColor : Highlight ? HighlightColor : TextColor;
    TB_SolidBrush brush(color);
    g.Brush = &brush;
    g.Font = FontFor(g);
    g.DrawString(Text, TB_Rectangle<float>{0, 0, client.width, client.height});
    g.Brush = nullptr;
    if (Underline) {
        TB_Vector2 size = g.MeasureString(Text, TB_Vector2{client.width, client.height});
        TB_Pen pen(Highlight ? HighlightColor : TextColor, 1);
        g.Pen = &pen;
        g.DrawLine(TB_Vector2{0, size.y - 1}, TB_Vector2{std::min(size.x, 1000000.0f), size.y - 1});
        g.Pen = nullptr;
    }
}
