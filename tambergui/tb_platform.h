#pragma once

#include "tb_rectangle.h"
#include "tb_vector2.h"

// A native window, defined by the platform backend and opaque to the toolkit.
class TB_NativeWindow;
using TB_WindowHandle = TB_NativeWindow*;

// What the toolkit asks of the windowing platform outside a window's own messages. The Qt
// backend implements it; a null backend serves headless tests and tools.
class TB_Platform {
public:
    virtual ~TB_Platform() = default;

    // Milliseconds since the toolkit's time base was taken.
    virtual tb_uint64 Milliseconds() = 0;
    // Whether a key (virtual-key code) is held right now.
    virtual bool IsKeyDown(tb_int virtualKey) = 0;

    virtual void SetCapture(TB_WindowHandle window) = 0;
    virtual void ReleaseCapture() = 0;
    // Asks for one TB_WM_MOUSELEAVE when the pointer leaves the window.
    virtual void TrackMouseLeave(TB_WindowHandle window) = 0;
    virtual void ShowCursor(tb_int cursorKind) = 0;
    virtual void SetFocus(TB_WindowHandle window) = 0;
    virtual TB_Vector2 ScreenToClient(TB_WindowHandle window, TB_Vector2 point) = 0;

    virtual void SetImeCompositionPosition(TB_WindowHandle window, tb_int x, tb_int y) = 0;
    virtual void ResetImeContext(TB_WindowHandle window) = 0;
    virtual void SetImeOpen(TB_WindowHandle window, bool open) = 0;

    virtual void Beep() = 0;
};

// The platform in use; never null (a null platform stands in until a backend is set).
TB_Platform& TB_GetPlatform();
// Installs a platform (not owned; it must outlive its use). Null restores the null platform.
void TB_SetPlatform(TB_Platform* platform);

// Does nothing; the clock reads a monotonic clock.
class TB_NullPlatform : public TB_Platform {
public:
    tb_uint64 Milliseconds() override;
    bool IsKeyDown(tb_int) override { return false; }
    void SetCapture(TB_WindowHandle) override {}
    void ReleaseCapture() override {}
    void TrackMouseLeave(TB_WindowHandle) override {}
    void ShowCursor(tb_int) override {}
    void SetFocus(TB_WindowHandle) override {}
    TB_Vector2 ScreenToClient(TB_WindowHandle, TB_Vector2 point) override { return point; }
    void SetImeCompositionPosition(TB_WindowHandle, tb_int, tb_int) override {}
    void ResetImeContext(TB_WindowHandle) override {}
    void SetImeOpen(TB_WindowHandle, bool) override {}
    void Beep() override {}
};
