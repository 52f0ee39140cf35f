#include "tb_keywidget.h"

namespace {
bool g_focusFromKeys = false;
}  // namespace

bool TB_FocusFromKeys() {
    return g_focusFromKeys;
}

void TB_SetFocusFromKeys(bool fromKeys) {
    g_focusFromKeys = fromKeys;
}

bool TB_IKeyWidget::HandleKeyMessage(TB_WindowHandle window, tb_uint message, tb_uint64 wParam,
                                     tb_int64 lParam, tb_int64& result) {
    (void)lParam;
    TB_Platform& platform = TB_GetPlatform();
    // Asked only for keys: outside a key event it costs a round trip to the display server,
    // and every message of every widget passes here.
    bool keys = message == TB_WM_KEYDOWN || message == TB_WM_SYSKEYDOWN || message == TB_WM_KEYUP ||
                message == TB_WM_SYSKEYUP || message == TB_WM_CHAR;
    bool shift = keys && platform.IsKeyDown(TB_VK_SHIFT);
    bool alt = keys && platform.IsKeyDown(TB_VK_MENU);
    bool control = keys && platform.IsKeyDown(TB_VK_CONTROL);
    switch (message) {
        case TB_WM_KEYDOWN:
        case TB_WM_SYSKEYDOWN:
        case TB_WM_KEYUP:
        case TB_WM_SYSKEYUP: {
            bool down = message == TB_WM_KEYDOWN || message == TB_WM_SYSKEYDOWN;
            if (down && !AcceptsTab && wParam == TB_VK_TAB) {
                TB_SetFocusFromKeys(true);
                MoveFocus(!shift);
                result = 0;
                return true;
            }
            TB_KeyEventArg arg;
            arg.KeyCode = static_cast<tb_int>(wParam);
            arg.Shift = shift;
            arg.Alt = alt;
            arg.Control = control;
            if (down) {
                OnKeyDown(arg);
            } else {
                OnKeyUp(arg);
            }
            if (!arg.Handled) {
                return false;  // the default processing still sees the key (Alt+F4 and so on)
            }
            result = 0;
            return true;
        }
        case TB_WM_CHAR: {
            TB_KeyCharEventArg arg;
            arg.Char = static_cast<tb_char>(wParam);
            arg.CharCode = static_cast<tb_int>(static_cast<tb_char>(wParam));
            arg.Shift = shift;
            arg.Alt = alt;
            arg.Control = control;
            OnKeyChar(arg);
            if (!arg.Handled) {
                return false;
            }
            result = 0;
            return true;
        }
        case TB_WM_IME_STARTCOMPOSITION:
            platform.SetImeCompositionPosition(window, ImePositionX, ImePositionY);
            return false;
        case TB_WM_IME_SETCONTEXT:
            ImeWindow = window;
            platform.ResetImeContext(window);
            return false;
        default:
            return false;
    }
}

void TB_IKeyWidget::SetImeOpen(bool open) {
    if (ImeWindow) {
        TB_GetPlatform().SetImeOpen(ImeWindow, open);
    }
}
