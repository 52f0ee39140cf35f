#pragma once

#include "tb_actionlist.h"
#include "tb_inspectable.h"
#include "tb_keywidget.h"
#include "tb_pointerwidget.h"
#include "tb_string.h"

// How a container arranges a child.
namespace TB_DockStyle {
enum : tb_int { None = 0, Fill = 1, Top = 2, Bottom = 3, Left = 4, Right = 5 };
}

// Index into the toolkit's cursor table; 0 means the window's own arrow.
namespace TB_CursorKind {
enum : tb_int {
    Default = 0,
    IBeam = 1,
    Wait = 2,
    Cross = 3,
    UpArrow = 4,
    SizeNWSE = 5,
    SizeNESW = 6,
    SizeWE = 7,
    SizeNS = 8,
    SizeAll = 9,
    No = 10,
    Hand = 11,
    AppStarting = 12,
    Help = 13,
};
}

// The abstract widget. Concrete widgets build on TB_NativeWidget, which puts each one in a
// native window; everything here is platform-neutral. Widgets live on the GUI thread.
class TB_Widget : public TB_Object,
                  public TB_IPointerWidget,
                  public TB_IKeyWidget,
                  public TB_IInspectable {
public:
    TB_Widget();
    TB_Widget(const TB_Widget&) = delete;
    TB_Widget& operator=(const TB_Widget&) = delete;
    ~TB_Widget() override;

    virtual void PerformLayout() {}
    // This widget when its Id equals id (two empty texts are equal); containers search on.
    virtual TB_Widget* FindById(const TB_String& id);
    virtual TB_Widget* FindByText(const TB_String& text);
    virtual void Create() = 0;
    virtual void SetText(const TB_String& text) = 0;
    virtual const TB_String& GetText() = 0;
    virtual TB_Color GetBackgroundColor() { return BackgroundColor; }
    virtual void SetBackgroundColor(const TB_Color& color) { BackgroundColor = color; }
    virtual TB_Vector2 GetPosition() = 0;
    virtual void SetPosition(const TB_Vector2& position) = 0;
    virtual TB_Vector2 GetSize() = 0;
    virtual void SetSize(const TB_Vector2& size) = 0;
    virtual float GetWidth() { return GetSize().x; }
    virtual float GetHeight() { return GetSize().y; }
    virtual float GetX() { return GetPosition().x; }
    virtual float GetY() { return GetPosition().y; }
    virtual float GetRight() { return GetPosition().x + GetSize().x; }
    virtual float GetBottom() { return GetPosition().y + GetSize().y; }
    // Position and size in the parent's client area.
    virtual TB_Rectangle<float> GetBounds() = 0;
    virtual void SetBounds(const TB_Rectangle<float>& bounds) = 0;
    // The client area in the widget's own coordinates.
    virtual TB_Rectangle<float> GetClientRectangle() = 0;
    virtual TB_Vector2 GetClientSize();
    virtual tb_int GetDock() { return Dock; }
    // Stores the dock style and lets the parent arrange its children again.
    virtual void SetDock(tb_int dock);
    virtual bool ContainsFocus() = 0;
    virtual bool IsFocused() = 0;
    virtual void SetFocus() = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual bool IsVisible() = 0;
    virtual void SetEnable(bool enable) = 0;
    virtual bool IsEnable() = 0;
    virtual TB_Vector2 ClientToScreen(const TB_Vector2& point) = 0;
    virtual void Close() = 0;
    virtual void OnCreated() { FireEmpty(Created); }
    virtual void OnMoved() { FireEmpty(Moved); }
    virtual void OnResized() { FireEmpty(Resized); }
    virtual void OnGotFocus() { FireEmpty(GotFocus); }
    virtual void OnLostFocus() { FireEmpty(LostFocus); }
    virtual void OnAdded() { FireEmpty(Added); }
    virtual void OnRemoved() { FireEmpty(Removed); }
    virtual void OnEnableChanged() {
        TB_EventArg arg;
        OnEnableChanged(arg);
    }
    virtual void OnEnableChanged(TB_EventArg& arg) { EnableChanged.Fire(arg); }
    virtual void OnDragEnter(TB_DropEventArg& arg) { DragEnter.Fire(arg); }
    virtual void OnDragOver(TB_DropEventArg& arg) { DragOver.Fire(arg); }
    virtual void OnDrop(TB_DropEventArg& arg) { Drop.Fire(arg); }
    virtual void OnDragLeave() {
        TB_EventArg arg;
        OnDragLeave(arg);
    }
    virtual void OnDragLeave(TB_EventArg& arg) { DragLeave.Fire(arg); }
    virtual void OnClosing(TB_ClosingEventArg& arg) { Closing.Fire(arg); }
    virtual void Invalidate(const TB_Rectangle<float>& area) = 0;
    virtual void Invalidate() = 0;
    // The native window, or null while there is none.
    virtual TB_WindowHandle GetWindowHandle() { return nullptr; }
    // True for frames and popup panels: the shortcut lists of their ancestors are not asked.
    virtual bool EndsShortcutWalk() const { return false; }
    // True for this widget; containers also answer for their descendants.
    virtual bool Contains(const TB_Widget* widget) { return widget == this; }

    TB_Rectangle<float> GetHitRectangle() override { return GetClientRectangle(); }
    // Both translations hold a count on the widget while they run, so a handler that
    // releases the widget cannot leave it dangling.
    bool HandlePointerMessage(TB_WindowHandle window, tb_uint message, tb_uint64 wParam,
                              tb_int64 lParam, tb_int64& result) override;
    bool HandleKeyMessage(TB_WindowHandle window, tb_uint message, tb_uint64 wParam,
                          tb_int64 lParam, tb_int64& result) override;
    // "ID", "Text", "BackgroundColor", "Bounds", "Focus", "Visible", "Enable".
    bool Inspect(TB_IPropertyVisitor& visitor) override;

    TB_Widget* Parent = nullptr;  // not counted
    TB_Color BackgroundColor;
    tb_int Dock = TB_DockStyle::None;
    TB_ActionList* Actions = nullptr;  // counted, made on first use
    TB_String Id;

    TB_Event<TB_EventArg> Created;
    TB_Event<TB_EventArg> Moved;
    TB_Event<TB_EventArg> Resized;
    TB_Event<TB_EventArg> GotFocus;
    TB_Event<TB_EventArg> LostFocus;
    TB_Event<TB_EventArg> Added;
    TB_Event<TB_EventArg> Removed;
    TB_Event<TB_EventArg> EnableChanged;
    TB_Event<TB_DropEventArg> DragEnter;
    TB_Event<TB_DropEventArg> DragOver;
    TB_Event<TB_DropEventArg> Drop;
    TB_Event<TB_EventArg> DragLeave;
    TB_Event<TB_ClosingEventArg> Closing;

protected:
    static void FireEmpty(TB_Event<TB_EventArg>& event) {
        TB_EventArg arg;
        event.Fire(arg);
    }
};
