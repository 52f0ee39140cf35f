#pragma once

#include "tb_button.h"
#include "tb_canvas.h"
#include "tb_nativecontainer.h"
#include "tb_svg.h"
#include "tb_textbox.h"

// The search field above the clip list: a magnifier, a one-line text field and a clear
// button in one row of squares as high as the box. The box's own Text follows the field and
// is updated before SearchTextChanged is raised, so a handler reads the new text with GetText.
class TC_SearchTextBox : public TB_NativeContainer {
public:
    TC_SearchTextBox();
    ~TC_SearchTextBox() override;

    virtual void OnSearchTextChanged() {
        TB_EventArg arg;
        OnSearchTextChanged(arg);
    }
    virtual void OnSearchTextChanged(TB_EventArg& arg) { SearchTextChanged.Fire(arg); }
    // Not transferred; the owner may restyle it.
    TB_Button* GetClearButton() const { return ClearButton; }

    TB_Canvas* IconCanvas;   // child
    TB_TextBox* TextField;   // child
    TB_Button* ClearButton;  // child
    TB_SvgRenderer SearchIcon;
    TB_SvgRenderer ClearIcon;  // the clear button's normal image
    TB_Event<TB_EventArg> SearchTextChanged;

private:
    void OnLayout(TB_EventArg&);
    void OnFieldTextChanged(TB_EventArg&);
    void OnClearClick(TB_MouseEventArg&);
    void OnIconPaint(TB_PaintEventArg& arg);
};
