#pragma once

#include "tb_event.h"
#include "tb_eventargs.h"
#include "tb_message.h"
#include "tb_platform.h"

// Mouse input of a widget: the pointer state, the pointer events, and the translation of
// pointer messages into them, with click and double-click synthesis.
class TB_IPointerWidget {
public:
    virtual ~TB_IPointerWidget() = default;

    virtual TB_Rectangle<float> GetHitRectangle() = 0;
    // Sets Pressed, fires MouseDown, then remembers which buttons were held.
    virtual void OnMouseDown(TB_MouseEventArg& arg);
    virtual void OnMouseMove(TB_MouseEventArg& arg) { MouseMove.Fire(arg); }
    // Fires MouseUp, then synthesises Click and DoubleClick.
    virtual void OnMouseUp(TB_MouseEventArg& arg);
    virtual void OnMouseWheel(TB_MouseEventArg& arg) { MouseWheel.Fire(arg); }
    virtual void OnMouseEnter();
    virtual void OnMouseLeave();
    virtual void OnClick(TB_MouseEventArg& arg) { Click.Fire(arg); }
    virtual void OnDoubleClick(TB_MouseEventArg& arg) { DoubleClick.Fire(arg); }
    // True when the message was handled, with result as the window's answer.
    virtual bool HandlePointerMessage(TB_WindowHandle window, tb_uint message, tb_uint64 wParam,
                                      tb_int64 lParam, tb_int64& result);

    bool FocusOnPress = false;
    bool MouseTracked = false;
    tb_int ClickCount = 0;
    // Milliseconds since the time base: the first click of the current series.
    tb_int LastClickTime = 0;
    bool PressLeft = false;
    bool PressRight = false;
    bool PressMiddle = false;
    tb_int Cursor = 0;
    bool Pressed = false;

    TB_Event<TB_MouseEventArg> MouseDown;
    TB_Event<TB_MouseEventArg> MouseMove;
    TB_Event<TB_MouseEventArg> MouseUp;
    TB_Event<TB_MouseEventArg> MouseWheel;
    TB_Event<TB_EventArg> MouseEnter;
    TB_Event<TB_EventArg> MouseLeave;
    TB_Event<TB_MouseEventArg> Click;
    TB_Event<TB_MouseEventArg> DoubleClick;

    // Two clicks whose times differ by at most this many milliseconds form a double click.
    static constexpr tb_int kDoubleClickTime = 250;
};
