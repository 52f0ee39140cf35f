#pragma once

#include "tb_types.h"

// The platform-neutral message record. The backend turns every window event into one of
// these, numbered and packed like the Win32 messages they stand for, so the toolkit's
// algorithms (click synthesis, Tab cycling, shortcut matching, painting) read exactly as
// designed and can be driven by tests without a display.
struct TB_Message {
    tb_uint Message = 0;
    tb_uint64 WParam = 0;
    tb_int64 LParam = 0;
};

// Message numbers.
enum : tb_uint {
    TB_WM_CREATE = 0x0001,
    TB_WM_DESTROY = 0x0002,
    TB_WM_MOVE = 0x0003,
    TB_WM_SIZE = 0x0005,
    TB_WM_ACTIVATE = 0x0006,
    TB_WM_SETFOCUS = 0x0007,
    TB_WM_KILLFOCUS = 0x0008,
    TB_WM_PAINT = 0x000F,
    TB_WM_CLOSE = 0x0010,
    TB_WM_SETCURSOR = 0x0020,
    TB_WM_NCACTIVATE = 0x0086,
    TB_WM_KEYDOWN = 0x0100,
    TB_WM_KEYUP = 0x0101,
    TB_WM_CHAR = 0x0102,
    TB_WM_SYSKEYDOWN = 0x0104,
    TB_WM_SYSKEYUP = 0x0105,
    TB_WM_IME_STARTCOMPOSITION = 0x010D,
    TB_WM_COMMAND = 0x0111,
    TB_WM_TIMER = 0x0113,
    TB_WM_CTLCOLOREDIT = 0x0133,
    TB_WM_CTLCOLORSTATIC = 0x0138,
    TB_WM_MOUSEMOVE = 0x0200,
    TB_WM_LBUTTONDOWN = 0x0201,
    TB_WM_LBUTTONUP = 0x0202,
    TB_WM_RBUTTONDOWN = 0x0204,
    TB_WM_RBUTTONUP = 0x0205,
    TB_WM_MBUTTONDOWN = 0x0207,
    TB_WM_MBUTTONUP = 0x0208,
    TB_WM_MOUSEWHEEL = 0x020A,
    TB_WM_XBUTTONDOWN = 0x020B,
    TB_WM_XBUTTONUP = 0x020C,
    TB_WM_IME_SETCONTEXT = 0x0281,
    TB_WM_MOUSELEAVE = 0x02A3,
    TB_WM_HOTKEY = 0x0312,
    TB_WM_PRINTCLIENT = 0x0318,
    TB_WM_APP = 0x8000,
    TB_WM_POSTED_ACTION = 0x8003,
    TB_WM_TASK_ICON = 0x8005,
};

// Notification codes in the high word of a control's TB_WM_COMMAND.
enum : tb_uint { TB_EN_UPDATE = 0x0400 };

// Mouse key-state bits of a pointer message's WParam.
enum : tb_uint {
    TB_MK_LBUTTON = 0x0001,
    TB_MK_RBUTTON = 0x0002,
    TB_MK_SHIFT = 0x0004,
    TB_MK_CONTROL = 0x0008,
    TB_MK_MBUTTON = 0x0010,
    TB_MK_XBUTTON1 = 0x0020,
    TB_MK_XBUTTON2 = 0x0040,
};

// The extra button named in the high word of an extra-button message.
enum : tb_uint { TB_XBUTTON1 = 1, TB_XBUTTON2 = 2 };

// Show states carried by TB_WM_SIZE's WParam.
enum : tb_uint { TB_SIZE_RESTORED = 0, TB_SIZE_MINIMIZED = 1, TB_SIZE_MAXIMIZED = 2 };

// Virtual-key codes.
enum : tb_int {
    TB_VK_BACK = 0x08,
    TB_VK_TAB = 0x09,
    TB_VK_RETURN = 0x0D,
    TB_VK_SHIFT = 0x10,
    TB_VK_CONTROL = 0x11,
    TB_VK_MENU = 0x12,  // Alt
    TB_VK_ESCAPE = 0x1B,
    TB_VK_SPACE = 0x20,
    TB_VK_PRIOR = 0x21,
    TB_VK_NEXT = 0x22,
    TB_VK_END = 0x23,
    TB_VK_HOME = 0x24,
    TB_VK_LEFT = 0x25,
    TB_VK_UP = 0x26,
    TB_VK_RIGHT = 0x27,
    TB_VK_DOWN = 0x28,
    TB_VK_INSERT = 0x2D,
    TB_VK_DELETE = 0x2E,
    TB_VK_0 = 0x30,
    TB_VK_A = 0x41,
    TB_VK_F1 = 0x70,
    TB_VK_F24 = 0x87,
};

// Packing helpers in the Win32 manner.
inline tb_int64 TB_MakePointLParam(int x, int y) {
    return static_cast<tb_int64>((static_cast<tb_uint>(static_cast<std::uint16_t>(y)) << 16) |
                                 static_cast<std::uint16_t>(x));
}
inline int TB_PointX(tb_int64 lParam) {
    return static_cast<std::int16_t>(lParam & 0xFFFF);
}
inline int TB_PointY(tb_int64 lParam) {
    return static_cast<std::int16_t>((lParam >> 16) & 0xFFFF);
}
inline tb_uint TB_LowWord(tb_uint64 value) {
    return static_cast<tb_uint>(value & 0xFFFF);
}
inline tb_uint TB_HighWord(tb_uint64 value) {
    return static_cast<tb_uint>((value >> 16) & 0xFFFF);
}
