#include "tc_searchtextbox.h"

#include "tb_globalstyle.h"
#include "tc_builtinicons.h"

TC_SearchTextBox::TC_SearchTextBox() {
    SetSize(GetWidth(), static_cast<float>(TB_GetGlobalStyle().TextFieldHeight));
    SearchIcon.LoadText(TC_BuiltinIconText(TC_BuiltinIcon::Search));
    ClearIcon.LoadText(TC_BuiltinIconText(TC_BuiltinIcon::Clear));

    IconCanvas = new TB_Canvas();
    IconCanvas->Id = TB_String(u"iconCanvas");
    IconCanvas->Paint.Add(this, &TC_SearchTextBox::OnIconPaint);
    AddChild(IconCanvas);

    TextField = new TB_TextBox();
    TextField->Id = TB_String(u"filterText");
    TextField->AccessibleName = u"検索";
    TextField->TextChanged.Add(this, &TC_SearchTextBox::OnFieldTextChanged);
    AddChild(TextField);

    ClearButton = new TB_Button(TB_String(u"X"));
    ClearButton->Id = TB_String(u"clearTextButton");
    ClearButton->SetToolTip(TB_String(u"検索文字をクリア"));
    ClearButton->Click.Add(this, &TC_SearchTextBox::OnClearClick);
    // An icon that did not load would draw nothing: the caption "X" stays instead.
    if (ClearIcon.HasDocument()) {
        ClearButton->SetNormalImage(&ClearIcon);
    }
    AddChild(ClearButton);

    Resized.Add(this, &TC_SearchTextBox::OnLayout);
    TB_EventArg none;
    OnLayout(none);
}

TC_SearchTextBox::~TC_SearchTextBox() {
    // The icon is a member and goes before the children: the button must not release it late.
    ClearButton->SetNormalImage(nullptr);
}

// Squares as high as the box; the 2 and 6 are pixels at every scale.
void TC_SearchTextBox::OnLayout(TB_EventArg&) {
    TB_Vector2 client = GetClientSize();
    float w = client.x, h = client.y;
    IconCanvas->SetBounds(2, 0, h - 6, h);
    TextField->SetBounds(h, 0, w - 2 * h, h);
    ClearButton->SetBounds(w - h, 0, h, h);
}

void TC_SearchTextBox::OnFieldTextChanged(TB_EventArg&) {
    SetText(TextField->GetText());
    TB_Ref<TC_SearchTextBox> keep(this);  // a handler may release the box
    OnSearchTextChanged();
}

void TC_SearchTextBox::OnClearClick(TB_MouseEventArg&) {
    TextField->SetText(TB_String());
    TextField->SetFocus();
}

void TC_SearchTextBox::OnIconPaint(TB_PaintEventArg& arg) {
    TB_Graphics& g = *arg.Graphics;
    g.Clear(GetBackgroundColor());
    TB_SolidBrush brush(TB_GetGlobalStyle().ForeColor);
    TB_Brush* brushBefore = g.Brush;
    TB_Pen* penBefore = g.Pen;
    g.Brush = &brush;
    g.Pen = nullptr;
    TB_Rectangle<float> client = IconCanvas->GetClientRectangle();
    TB_Rectangle<float> box = SearchIcon.GetViewBox();
    if (box.width > 0 && box.height > 0 && client.width > 0 && client.height > 0) {
        auto r = static_cast<float>(static_cast<double>(box.width) / box.height);
        auto canvasRatio = static_cast<float>(static_cast<double>(client.width) / client.height);
        TB_Rectangle<float> target;
        if (r > canvasRatio) {
            target = {client.x, client.y + (client.height - client.width / r) * 0.5f, client.width,
                      client.width / r};
        } else {
            target = {client.x + (client.width - r * client.height) * 0.5f, client.y,
                      r * client.height, client.height};
        }
        SearchIcon.Render(g, target, false);
    }
    g.Brush = brushBefore;
    g.Pen = penBefore;
}
