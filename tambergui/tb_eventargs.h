#pragma once

#include "tb_list.h"
#include "tb_rectangle.h"

class TB_Graphics;
class TB_DataObject;

// Every argument record starts with Tag, which each handler overwrites before its call.
struct TB_EventArg {
    void* Tag = nullptr;
};

struct TB_MouseEventArg : TB_EventArg {
    float X = 0;
    float Y = 0;
    // Notches: the raw delta over 120, positive away from the user.
    float WheelDelta = 0;
    bool Left = false;
    bool Right = false;
    bool Middle = false;
    bool XButton1 = false;
    bool XButton2 = false;  // never set by the translation
    bool Shift = false;
    bool Alt = false;
    bool Control = false;
};

struct TB_KeyEventArg : TB_EventArg {
    tb_int KeyCode = 0;
    bool Shift = false;
    bool Alt = false;
    bool Control = false;
    bool Handled = false;
};

struct TB_KeyCharEventArg : TB_EventArg {
    tb_char Char = 0;
    tb_int CharCode = 0;
    bool Shift = false;
    bool Alt = false;
    bool Control = false;
    bool Handled = false;
};

struct TB_PaintEventArg : TB_EventArg {
    TB_Graphics* Graphics = nullptr;  // valid only during the call
    TB_Rectangle<int> ClipRect;
};

struct TB_DropEventArg : TB_EventArg {
    // In: the effects the source allows; out: the one chosen (0 none, 1 copy, 2 move, 4 link).
    tb_uint Effect = 0;
    TB_List<tb_uint> Formats;
    tb_uint KeyState = 0;
    float X = 0;
    float Y = 0;
    bool Accepted = false;
    TB_DataObject* Data = nullptr;  // not owned, valid only during the call
};

struct TB_ClosingEventArg : TB_EventArg {
    bool Cancel = false;
};

struct TB_HotKeyEventArg : TB_EventArg {
    tb_int64 Id = 0;
    bool Alt = false;
    bool Control = false;
    bool Shift = false;
};

struct TB_TaskIconEventArg : TB_EventArg {
    tb_int64 Message = 0;
};
