#include "lv_copytextbox.h"

#include "tb_globalstyle.h"

extern const unsigned char lumovox_copy_icon[];

LV_CopyTextBox::LV_CopyTextBox() {
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    Height = static_cast<float>(style.TextFieldHeight);
    Width = style.CopyTextBoxWidth;
    ButtonWidth = Height * 1.3f;

    TextField = new TB_TextBox(false, true);
    // Tab goes to the copy button: the field's text is taken with the pointer or Ctrl+C.
    TextField->TabStop = false;
    CopyButton = new TB_Button(u"Copy");
    CopyButton->Click.Add([this](TB_MouseEventArg&) { TB_CopyTextToClipboard(this); });
    CopyIcon = new TB_SvgRenderer();
    CopyIcon->LoadText(reinterpret_cast<const char*>(lumovox_copy_icon));
    CopyButton->SetNormalImage(CopyIcon);
    CopyButton->ButtonStyle = TB_ButtonStyle::Flat;
    CopyButton->Invalidate();
    CopyButton->SetToolTip(u"クリップボードにコピー");
    CopyButton->SetEnable(false);  // the box starts empty
    // Whatever changes the field (typing, cutting, pasting, another program), it is given
    // the box's text back; the field's own notice of that change finds them equal and stops.
    TextField->TextChanged.Add([this](TB_EventArg&) { SetText(GetText()); });
    AddChild(TextField);
    AddChild(CopyButton);
    Resized.Add([this](TB_EventArg&) { Layout(); });
}

LV_CopyTextBox::~LV_CopyTextBox() {
    CopyIcon->Release();
}

void LV_CopyTextBox::ApplyText() {
    TB_NativeContainer::ApplyText();
    // Nothing to copy: the button must not empty the clipboard of what the user holds there.
    CopyButton->SetEnable(!Text.IsEmpty());
    if (TextField->GetText().View() == Text.View()) {
        return;
    }
    TextField->SetText(Text);
}

void LV_CopyTextBox::Layout() {
    TB_Vector2 client = GetClientSize();
    TextField->SetBounds(0, 0, client.x - ButtonWidth, client.y);
    CopyButton->SetBounds(TextField->GetRight(), 0, ButtonWidth, client.y);
}
