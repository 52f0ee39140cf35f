#pragma once

#include "tb_event.h"
#include "tb_eventargs.h"
#include "tb_message.h"
#include "tb_platform.h"

// Whether the focus was last moved by the keyboard (Tab) rather than by a pointer press:
// focus rings are drawn only then, as people who click expect no frames around what they
// clicked.
bool TB_FocusFromKeys();
void TB_SetFocusFromKeys(bool fromKeys);

// Keyboard input of a widget: key events, Tab focus moves and input-method placement.
class TB_IKeyWidget {
public:
    virtual ~TB_IKeyWidget() = default;

    // Moves the focus to the next or previous focusable sibling.
    virtual void MoveFocus(bool forward) = 0;
    virtual void OnKeyDown(TB_KeyEventArg& arg) { KeyDown.Fire(arg); }
    virtual void OnKeyUp(TB_KeyEventArg& arg) { KeyUp.Fire(arg); }
    virtual void OnKeyChar(TB_KeyCharEventArg& arg) { KeyChar.Fire(arg); }
    virtual bool HandleKeyMessage(TB_WindowHandle window, tb_uint message, tb_uint64 wParam,
                                  tb_int64 lParam, tb_int64& result);

    // Opens or closes the input method of the window whose context was last set up.
    void SetImeOpen(bool open);

    bool AcceptsTextInput = false;
    bool AcceptsTab = false;
    // Space and Enter press the widget (buttons, check boxes): while it has the focus, those
    // keys are its own and no shortcut takes them.
    bool PressedByKeys = false;
    bool ImeOpen = false;
    tb_int ImePositionX = 0;
    tb_int ImePositionY = 0;
    TB_WindowHandle ImeWindow = nullptr;

    TB_Event<TB_KeyEventArg> KeyDown;
    TB_Event<TB_KeyEventArg> KeyUp;
    TB_Event<TB_KeyCharEventArg> KeyChar;
};
