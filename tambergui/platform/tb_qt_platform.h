#pragma once

#include "platform/tb_qt_dragdrop.h"
#include "tb_platform.h"

class QString;

// The family the program's texts are drawn in: "Meiryo UI" where it is installed, else a face
// that shows Japanese.
const QString& TB_QtUiFontFamily();

// The platform over Qt. Tests may derive from it to fix the screens or the pointer.
class TB_QtPlatform : public TB_Platform {
public:
    tb_uint64 Milliseconds() override;
    bool IsKeyDown(tb_int virtualKey) override;
    void SetCapture(TB_WindowHandle window) override;
    void ReleaseCapture() override;
    void TrackMouseLeave(TB_WindowHandle) override {}
    void ShowCursor(tb_int cursorKind) override;
    void SetFocus(TB_WindowHandle window) override;
    TB_Vector2 ScreenToClient(TB_WindowHandle window, TB_Vector2 point) override;
    void SetImeCompositionPosition(TB_WindowHandle window, tb_int x, tb_int y) override;
    void ResetImeContext(TB_WindowHandle) override {}
    void SetImeOpen(TB_WindowHandle window, bool open) override;
    void Beep() override;

    TB_WindowHandle CreateWindow(TB_NativeWidget* widget, WindowKind kind, TB_WindowHandle parent,
                                 const TB_Rectangle<int>& bounds, const TB_String& title,
                                 bool visible) override;
    void DestroyWindow(TB_WindowHandle window, bool notify) override;
    void SetWindowBounds(TB_WindowHandle window, const TB_Rectangle<int>& bounds) override;
    TB_Rectangle<int> GetWindowBounds(TB_WindowHandle window) override;
    TB_Vector2 GetClientSize(TB_WindowHandle window) override;
    TB_Rectangle<int> GetFrameMargins(TB_WindowHandle window) override;
    void ShowWindow(TB_WindowHandle window, tb_int showCommand) override;
    bool IsWindowVisible(TB_WindowHandle window) override;
    void EnableWindow(TB_WindowHandle window, bool enable) override;
    bool IsWindowEnabled(TB_WindowHandle window) override;
    void SetWindowText(TB_WindowHandle window, const TB_String& text) override;
    void SetParentWindow(TB_WindowHandle window, TB_WindowHandle parent) override;
    void InvalidateRect(TB_WindowHandle window, const TB_Rectangle<int>* area) override;
    void UpdateWindow(TB_WindowHandle window) override;
    TB_Vector2 ClientToScreen(TB_WindowHandle window, TB_Vector2 point) override;
    void SetToolTip(TB_WindowHandle window, const TB_String& text) override;
    void SetForegroundWindow(TB_WindowHandle window) override;
    TB_WindowHandle GetActiveWindow() override;
    void RequestClose(TB_WindowHandle window) override;
    void RunEventLoop(const std::function<bool()>& done) override;
    bool PostAction(TB_WindowHandle window, TB_Action* action) override;
    tb_uint64 StartTimer(TB_WindowHandle window, tb_uint64 identifier, tb_int interval) override;
    void StopTimer(tb_uint64 identifier) override;
    std::vector<TB_NativeWidget*> TopLevelWidgets() override;
    tb_uint StartDrag(TB_WindowHandle window, TB_DataObject* data, TB_Bitmap32* image,
                      tb_int offsetX, tb_int offsetY, tb_uint allowedEffects) override;
    void SetAcceptDrops(TB_WindowHandle window, bool accept) override;
    void SetClipboardText(const TB_String& text) override;
    TB_String GetClipboardText() override;
    std::vector<TB_Rectangle<int>> WorkAreas() override;
    bool KnowsWindowPlaces() override;
    // Tells assistive tools (tb_qt_accessible.cpp).
    void NotifyAccessible(TB_NativeWidget* widget, TB_AccessibleChange change,
                          tb_int item) override;
    float WindowSystemScale() override;
    // tb_qt_filewatch.cpp
    std::unique_ptr<TB_FileWatch> CreateFileWatch(
        std::function<void(const std::string&)> changed) override;
    void SetMinimumClientSize(TB_WindowHandle window, tb_int width, tb_int height) override;
    TB_Vector2 CursorPosition() override;

    // The line edit of text boxes (tb_qt_lineedit.cpp).
    TB_WindowHandle CreateLineEdit(TB_NativeWidget* widget, TB_WindowHandle parent,
                                   const TB_Rectangle<int>& bounds, const TB_String& text,
                                   bool password, bool readOnly, bool visible) override;
    void SetLineEditText(TB_WindowHandle window, const TB_String& text) override;
    TB_String GetLineEditText(TB_WindowHandle window) override;
    void LineEditCommand(TB_WindowHandle window, EditCommand command) override;
    void SetLineEditColors(TB_WindowHandle window, const TB_Color& background,
                           const TB_Color& text) override;
    void SetLineEditFont(TB_WindowHandle window, TB_HFONT_Object* font) override;
    // Read-only text views (tb_qt_plaintext.cpp).
    bool CreateTextView(TB_WindowHandle window, const TB_String& text, TB_Font* font,
                        const TB_Color& background, const TB_Color& foreground) override;
    void SetTextViewText(TB_WindowHandle window, const TB_String& text) override;
};

// The platform installed by the graphics start-up.
TB_QtPlatform& TB_GetQtPlatform();
