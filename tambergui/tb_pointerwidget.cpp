#include "tb_pointerwidget.h"

#include "tb_keywidget.h"

namespace {

// Position and key-state flags of a pointer message; Alt comes from the current key state.
TB_MouseEventArg PointerArg(tb_uint64 wParam, tb_int64 lParam) {
    TB_MouseEventArg arg;
    arg.X = static_cast<float>(TB_PointX(lParam));
    arg.Y = static_cast<float>(TB_PointY(lParam));
    arg.Left = (wParam & TB_MK_LBUTTON) != 0;
    arg.Right = (wParam & TB_MK_RBUTTON) != 0;
    arg.Middle = (wParam & TB_MK_MBUTTON) != 0;
    arg.Shift = (wParam & TB_MK_SHIFT) != 0;
    arg.Control = (wParam & TB_MK_CONTROL) != 0;
    arg.Alt = TB_GetPlatform().IsKeyDown(TB_VK_MENU);
    return arg;
}

}  // namespace

void TB_IPointerWidget::OnMouseDown(TB_MouseEventArg& arg) {
    Pressed = true;
    MouseDown.Fire(arg);
    PressLeft = arg.Left;
    PressRight = arg.Right;
    PressMiddle = arg.Middle;
}

void TB_IPointerWidget::OnMouseEnter() {
    TB_EventArg arg;
    MouseEnter.Fire(arg);
}

void TB_IPointerWidget::OnMouseLeave() {
    TB_EventArg arg;
    MouseLeave.Fire(arg);
}

// Click synthesis, after MouseUp has fired:
//   not Pressed                      -> nothing
//   release outside the hit rectangle -> nothing (edges count as inside)
//   ClickCount > 0 and now <= first click of the series + 250 ms -> ClickCount + 1
//   otherwise                         -> a new series: ClickCount = 1, LastClickTime = now
//   then Click, and DoubleClick when ClickCount is exactly 2.
void TB_IPointerWidget::OnMouseUp(TB_MouseEventArg& arg) {
    MouseUp.Fire(arg);
    if (!Pressed) {
        return;
    }
    Pressed = false;
    TB_Rectangle<float> hit = GetHitRectangle();
    if (!(hit.x <= arg.X && arg.X <= hit.x + hit.width && hit.y <= arg.Y &&
          arg.Y <= hit.y + hit.height)) {
        return;
    }
    TB_MouseEventArg click = arg;
    click.Left = PressLeft;
    click.Right = PressRight;
    click.Middle = PressMiddle;
    auto now = static_cast<tb_int>(static_cast<tb_uint>(TB_GetPlatform().Milliseconds()));
    // The 32-bit clock wraps after 49.7 days; a difference taken modulo 2^32 does not care.
    tb_uint elapsed = static_cast<tb_uint>(now) - static_cast<tb_uint>(LastClickTime);
    if (ClickCount != 0 && elapsed <= static_cast<tb_uint>(kDoubleClickTime)) {
        ++ClickCount;
    } else {
        LastClickTime = now;
        ClickCount = 1;
    }
    OnClick(click);
    if (ClickCount == 2) {
        OnDoubleClick(click);
    }
}

bool TB_IPointerWidget::HandlePointerMessage(TB_WindowHandle window, tb_uint message,
                                             tb_uint64 wParam, tb_int64 lParam, tb_int64& result) {
    TB_Platform& platform = TB_GetPlatform();
    switch (message) {
        case TB_WM_SETCURSOR:
            if (Cursor == 0) {
                return false;
            }
            platform.ShowCursor(Cursor);
            result = 1;
            return true;
        case TB_WM_MOUSEMOVE: {
            if (!MouseTracked) {
                MouseTracked = true;
                platform.TrackMouseLeave(window);
                OnMouseEnter();
            }
            TB_MouseEventArg arg = PointerArg(wParam, lParam);
            tb_int cursorBefore = Cursor;
            OnMouseMove(arg);
            if (Cursor != cursorBefore) {
                platform.ShowCursor(Cursor);
            }
            result = 0;
            return true;
        }
        case TB_WM_LBUTTONDOWN:
        case TB_WM_RBUTTONDOWN:
        case TB_WM_MBUTTONDOWN: {
            TB_SetFocusFromKeys(false);
            platform.SetCapture(window);
            TB_MouseEventArg arg = PointerArg(wParam, lParam);
            OnMouseDown(arg);
            if (FocusOnPress) {
                platform.SetFocus(window);
            }
            result = 0;
            return true;
        }
        case TB_WM_LBUTTONUP:
        case TB_WM_RBUTTONUP:
        case TB_WM_MBUTTONUP: {
            platform.ReleaseCapture();
            TB_MouseEventArg arg = PointerArg(wParam, lParam);
            OnMouseUp(arg);
            result = 0;
            return true;
        }
        case TB_WM_MOUSEWHEEL: {
            TB_Vector2 client =
                platform.ScreenToClient(window, TB_Vector2{static_cast<float>(TB_PointX(lParam)),
                                                           static_cast<float>(TB_PointY(lParam))});
            TB_MouseEventArg arg = PointerArg(TB_LowWord(wParam), 0);
            arg.X = client.x;
            arg.Y = client.y;
            arg.Control = platform.IsKeyDown(TB_VK_CONTROL);
            arg.WheelDelta =
                static_cast<float>(static_cast<std::int16_t>(TB_HighWord(wParam)) / 120.0);
            OnMouseWheel(arg);
            if (!MouseWheel.HasHandlers()) {
                return false;  // the platform passes it on to the parent window
            }
            result = 0;
            return true;
        }
        case TB_WM_XBUTTONDOWN:
        case TB_WM_XBUTTONUP: {
            TB_MouseEventArg arg;
            arg.X = static_cast<float>(TB_PointX(lParam));
            arg.Y = static_cast<float>(TB_PointY(lParam));
            arg.XButton1 = TB_HighWord(wParam) == TB_XBUTTON1;
            if (message == TB_WM_XBUTTONDOWN) {
                platform.SetCapture(window);
                OnMouseDown(arg);
            } else {
                platform.ReleaseCapture();
                OnMouseUp(arg);
            }
            result = 0;
            return true;
        }
        case TB_WM_MOUSELEAVE:
            MouseTracked = false;
            OnMouseLeave();
            return false;
        default:
            return false;
    }
}
