#pragma once

#include "tb_font.h"
#include "tb_nativewidget.h"
#include "tb_texteditable.h"

// A single-line text field on the platform's own edit control, which does the editing,
// caret, selection, clipboard and input-method composition. The toolkit adds the font, the
// style's colours, Tab cycling, key events, TextChanged and the editing actions "Copy",
// "Paste", "Cut" and "All Select" (Ctrl+C, Ctrl+V, Ctrl+X, Ctrl+A).
class TB_TextBox : public TB_NativeWidget, public TB_ITextEditable {
public:
    struct TextBoxOptions {
        bool Password = false;  // bullets are shown; Text still holds the characters
        bool ReadOnly = false;
    };

    TB_TextBox();
    TB_TextBox(bool password, bool readOnly);
    ~TB_TextBox() override;

    void Create() override;
    // Tab brought the focus here: the whole text is selected, ready to be typed over.
    void OnTabFocus() override;
    void ApplyText() override;
    bool WindowProc(TB_WindowHandle window, tb_uint message, tb_uint64 wParam, tb_int64 lParam,
                    tb_int64& result) override;
    // TB_EN_UPDATE refreshes Text from the control and fires TextChanged.
    bool OnCommand(TB_WindowHandle window, tb_uint message, tb_uint64 wParam, tb_int64 lParam,
                   tb_int64& result, tb_int id) override;
    // As a widget, but "Text" is DisplayText(); then "Password", "ReadOnly", "TextColor".
    bool Inspect(TB_IPropertyVisitor& visitor) override;

    // The text as it may be shown outside the box: one bullet per character for a password.
    TB_String DisplayText() const;
    void Cut();
    void Copy();
    void Paste();
    void SelectAll();

    TextBoxOptions Options;
    TB_Font* Font = nullptr;  // owned; made with the window
    // The control's colours, from the style record when the window is made.
    TB_Color TextColor;

private:
    void Command(TB_Platform::EditCommand command);

    TB_Action* m_actions[4] = {};  // one count each; the action list only points to them
};
