#pragma once

#include "tb_button.h"
#include "tb_nativecontainer.h"
#include "tb_svg.h"
#include "tb_textbox.h"

// One line of text the user can select but not change, with a button beside it that puts
// the whole text on the clipboard. The box's own Text is what is shown and copied; the
// read-only field always shows it, whatever reaches the field.
class LV_CopyTextBox : public TB_NativeContainer {
public:
    // The style's text field height and copy box width, as the style is at this moment.
    LV_CopyTextBox();
    ~LV_CopyTextBox() override;

    // Puts Text into the field unless the field shows it already.
    void ApplyText() override;
    // For restyling by the owner; not transferred.
    TB_Button* GetCopyButton() const { return CopyButton; }

    float ButtonWidth;
    TB_TextBox* TextField;
    TB_Button* CopyButton;
    TB_SvgRenderer* CopyIcon;  // one count

private:
    void Layout();
};
