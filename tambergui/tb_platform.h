#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tb_accessible.h"
#include "tb_color.h"
#include "tb_rectangle.h"
#include "tb_string.h"
#include "tb_vector2.h"

class TB_NativeWidget;
class TB_Action;
class TB_HFONT_Object;
class TB_Bitmap32;
class TB_DataObject;
class TB_Font;
struct TB_Color;

// A native window, defined by the platform backend and opaque to the toolkit.
class TB_NativeWindow;
using TB_WindowHandle = TB_NativeWindow*;

// Folders and files watched for changes (see TB_Platform::CreateFileWatch).
class TB_FileWatch {
public:
    virtual ~TB_FileWatch() = default;
    // The native paths to watch from now on; paths that are missing are left out, and a file
    // replaced by another of its name is watched again.
    virtual void SetPaths(const std::vector<std::string>& paths) = 0;
};

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

    // ---- windows (one per native widget) ----
    enum class WindowKind { Child, Frame, Popup };
    // Makes the window of a widget; its messages go to the widget's WindowProc, starting
    // with TB_WM_CREATE. Null when no window can be made.
    virtual TB_WindowHandle CreateWindow(TB_NativeWidget* widget, WindowKind kind,
                                         TB_WindowHandle parent, const TB_Rectangle<int>& bounds,
                                         const TB_String& title, bool visible) = 0;
    // Destroys the window at once; the widget receives TB_WM_DESTROY unless notify is false
    // (a widget that is itself being destroyed).
    virtual void DestroyWindow(TB_WindowHandle window, bool notify = true) = 0;
    virtual void SetWindowBounds(TB_WindowHandle window, const TB_Rectangle<int>& bounds) = 0;
    // The smallest client area the user can size a top-level window to; none by default.
    virtual void SetMinimumClientSize(TB_WindowHandle, tb_int, tb_int) {}
    // The window's rectangle in its parent's client coordinates (screen for top level).
    virtual TB_Rectangle<int> GetWindowBounds(TB_WindowHandle window) = 0;
    virtual TB_Vector2 GetClientSize(TB_WindowHandle window) = 0;
    // Widths of the non-client borders: left, top, right, bottom.
    virtual TB_Rectangle<int> GetFrameMargins(TB_WindowHandle window) = 0;
    virtual void ShowWindow(TB_WindowHandle window, tb_int showCommand) = 0;
    virtual bool IsWindowVisible(TB_WindowHandle window) = 0;
    virtual void EnableWindow(TB_WindowHandle window, bool enable) = 0;
    virtual bool IsWindowEnabled(TB_WindowHandle window) = 0;
    virtual void SetWindowText(TB_WindowHandle window, const TB_String& text) = 0;
    virtual void SetParentWindow(TB_WindowHandle window, TB_WindowHandle parent) = 0;
    virtual void InvalidateRect(TB_WindowHandle window, const TB_Rectangle<int>* area) = 0;
    // Paints pending areas at once.
    virtual void UpdateWindow(TB_WindowHandle window) = 0;
    virtual TB_Vector2 ClientToScreen(TB_WindowHandle window, TB_Vector2 point) = 0;
    virtual void SetToolTip(TB_WindowHandle window, const TB_String& text) = 0;
    virtual void SetForegroundWindow(TB_WindowHandle window) = 0;
    virtual TB_WindowHandle GetActiveWindow() = 0;
    // Asks a top-level window to close, as its close button would (TB_WM_CLOSE first).
    virtual void RequestClose(TB_WindowHandle window) = 0;
    // Runs the platform's event loop until done answers true (checked after each event).
    virtual void RunEventLoop(const std::function<bool()>& done) = 0;
    // Posts an action to the window from any thread; the window's widget gets
    // TB_WM_POSTED_ACTION on the GUI thread. False when it could not be posted.
    virtual bool PostAction(TB_WindowHandle window, TB_Action* action) = 0;

    // ---- drag and drop, clipboard ----
    // Runs a modal drag of the data from the window, showing the image (when given) with the
    // pointer at the offset; answers the effect the target chose (0 when cancelled).
    virtual tb_uint StartDrag(TB_WindowHandle window, TB_DataObject* data, TB_Bitmap32* image,
                              tb_int offsetX, tb_int offsetY, tb_uint allowedEffects) = 0;
    // Whether drags may be dropped on the window (its widget then gets the drop events).
    virtual void SetAcceptDrops(TB_WindowHandle window, bool accept) = 0;
    virtual void SetClipboardText(const TB_String& text) = 0;
    virtual TB_String GetClipboardText() = 0;

    // ---- timers ----
    // Starts a repeating timer on the GUI thread that calls TB_UiTimer::Dispatch(identifier)
    // every interval milliseconds; answers the identifier, or 0 when no timer could be made.
    virtual tb_uint64 StartTimer(TB_WindowHandle window, tb_uint64 identifier, tb_int interval) = 0;
    virtual void StopTimer(tb_uint64 identifier) = 0;

    // The widgets of the top-level windows that exist right now (frames, popups).
    virtual std::vector<TB_NativeWidget*> TopLevelWidgets() = 0;

    // ---- screens ----
    // The work areas of the monitors, the primary one first.
    virtual std::vector<TB_Rectangle<int>> WorkAreas() = 0;
    // False where the window system keeps windows' places on the screen to itself (Wayland):
    // every window then believes it sits at the screen's origin.
    virtual bool KnowsWindowPlaces() { return true; }
    // The factor by which the window system itself enlarges what the program draws (a
    // Wayland output's scale); the program's own GUI size is divided by it, so that the two
    // are not applied one on top of the other. 1 on X, where the program alone scales.
    virtual float WindowSystemScale() { return 1.0f; }

    // ---- accessibility ----
    // Something assistive tools may follow changed about the widget's window or an item.
    virtual void NotifyAccessible(TB_NativeWidget*, TB_AccessibleChange, tb_int) {}
    virtual TB_Vector2 CursorPosition() = 0;

    // ---- single-line edit controls (the text box); no control without a backend ----
    // Makes the platform's line edit as the widget's child window under parent (which must
    // exist). Key presses reach the widget first (TB_WM_KEYDOWN after the shortcut walk) and
    // every change of the text sends it TB_WM_COMMAND with TB_EN_UPDATE in the high word.
    virtual TB_WindowHandle CreateLineEdit(TB_NativeWidget*, TB_WindowHandle,
                                           const TB_Rectangle<int>&, const TB_String&,
                                           bool /*password*/, bool /*readOnly*/, bool /*visible*/) {
        return nullptr;
    }
    // Replaces the text; exactly one update notification follows, even for the same text.
    virtual void SetLineEditText(TB_WindowHandle, const TB_String&) {}
    virtual TB_String GetLineEditText(TB_WindowHandle) { return TB_String(); }
    enum class EditCommand { Cut, Copy, Paste, SelectAll };
    virtual void LineEditCommand(TB_WindowHandle, EditCommand) {}
    virtual void SetLineEditColors(TB_WindowHandle, const TB_Color& /*background*/,
                                   const TB_Color& /*text*/) {}
    virtual void SetLineEditFont(TB_WindowHandle, TB_HFONT_Object*) {}
    // ---- watching the file system ----
    // Calls changed on the GUI thread with the watched path when something in one of the
    // watched folders, or one of the watched files, changes; null where the platform cannot
    // watch (then poll).
    virtual std::unique_ptr<TB_FileWatch> CreateFileWatch(
        std::function<void(const std::string&)> /*changed*/) {
        return nullptr;
    }

    // ---- read-only text views: the window filled with the platform's multi-line view ----
    // The view wraps at the window's width, scrolls vertically and lets the user select and
    // copy but not edit; false when none could be made. Line breaks may be CR LF or LF.
    virtual bool CreateTextView(TB_WindowHandle window, const TB_String& text, TB_Font* font,
                                const TB_Color& background, const TB_Color& foreground) = 0;
    virtual void SetTextViewText(TB_WindowHandle window, const TB_String& text) = 0;
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
    TB_WindowHandle CreateWindow(TB_NativeWidget*, WindowKind, TB_WindowHandle,
                                 const TB_Rectangle<int>&, const TB_String&, bool) override {
        return nullptr;
    }
    void DestroyWindow(TB_WindowHandle, bool) override {}
    void SetWindowBounds(TB_WindowHandle, const TB_Rectangle<int>&) override {}
    TB_Rectangle<int> GetWindowBounds(TB_WindowHandle) override { return {}; }
    TB_Vector2 GetClientSize(TB_WindowHandle) override { return {}; }
    TB_Rectangle<int> GetFrameMargins(TB_WindowHandle) override { return {}; }
    void ShowWindow(TB_WindowHandle, tb_int) override {}
    bool IsWindowVisible(TB_WindowHandle) override { return false; }
    void EnableWindow(TB_WindowHandle, bool) override {}
    bool IsWindowEnabled(TB_WindowHandle) override { return false; }
    void SetWindowText(TB_WindowHandle, const TB_String&) override {}
    void SetParentWindow(TB_WindowHandle, TB_WindowHandle) override {}
    void InvalidateRect(TB_WindowHandle, const TB_Rectangle<int>*) override {}
    void UpdateWindow(TB_WindowHandle) override {}
    TB_Vector2 ClientToScreen(TB_WindowHandle, TB_Vector2 point) override { return point; }
    void SetToolTip(TB_WindowHandle, const TB_String&) override {}
    void SetForegroundWindow(TB_WindowHandle) override {}
    TB_WindowHandle GetActiveWindow() override { return nullptr; }
    void RequestClose(TB_WindowHandle) override {}
    void RunEventLoop(const std::function<bool()>&) override {}
    bool PostAction(TB_WindowHandle, TB_Action*) override { return false; }
    tb_uint64 StartTimer(TB_WindowHandle, tb_uint64, tb_int) override { return 0; }
    tb_uint StartDrag(TB_WindowHandle, TB_DataObject*, TB_Bitmap32*, tb_int, tb_int,
                      tb_uint) override {
        return 0;
    }
    void SetAcceptDrops(TB_WindowHandle, bool) override {}
    void SetClipboardText(const TB_String& text) override { Clipboard = text; }
    TB_String GetClipboardText() override { return Clipboard; }
    TB_String Clipboard;
    std::vector<TB_NativeWidget*> TopLevelWidgets() override { return {}; }
    void StopTimer(tb_uint64) override {}
    std::vector<TB_Rectangle<int>> WorkAreas() override {
        return {TB_Rectangle<int>{0, 0, 1920, 1080}};
    }
    TB_Vector2 CursorPosition() override { return {}; }
    bool CreateTextView(TB_WindowHandle, const TB_String&, TB_Font*, const TB_Color&,
                        const TB_Color&) override {
        return false;
    }
    void SetTextViewText(TB_WindowHandle, const TB_String&) override {}
};
