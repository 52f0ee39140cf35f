#pragma once

#include "tb_accessible.h"
#include "tb_dropdata.h"
#include "tb_graphics.h"
#include "tb_list.h"
#include "tb_posttarget.h"
#include "tb_widget.h"

// A widget with one native window. Geometry, text, colour, visibility and the enabled
// state may be set before the window exists; they are stored and applied when it is made.
// Messages of the window arrive as records at WindowProc.
class TB_NativeWidget : public TB_Widget {
public:
    TB_NativeWidget();
    ~TB_NativeWidget() override;

    // The base makes no window: it applies Enable and marks the widget created.
    void Create() override;
    void SetText(const TB_String& text) override;
    const TB_String& GetText() override { return Text; }
    void SetBackgroundColor(const TB_Color& color) override;
    TB_Vector2 GetPosition() override { return {X, Y}; }
    void SetPosition(const TB_Vector2& position) override;
    TB_Vector2 GetSize() override { return {Width, Height}; }
    void SetSize(const TB_Vector2& size) override;
    TB_Rectangle<float> GetBounds() override { return {X, Y, Width, Height}; }
    void SetBounds(const TB_Rectangle<float>& bounds) override;
    TB_Rectangle<float> GetClientRectangle() override;
    bool ContainsFocus() override { return Focused; }
    bool IsFocused() override { return Focused; }
    void SetFocus() override;
    void SetVisible(bool visible) override;
    bool IsVisible() override;
    void SetEnable(bool enable) override;
    bool IsEnable() override;
    TB_Vector2 ClientToScreen(const TB_Vector2& point) override;
    void Close() override;
    void Invalidate(const TB_Rectangle<float>& area) override;
    void Invalidate() override;
    TB_WindowHandle GetWindowHandle() override { return Window; }
    // Tab cycling through the focusable widgets of the whole window, in the order of the
    // widget tree (which follows the reading order); a beep when there is nowhere to go.
    void MoveFocus(bool forward) override;
    // Focused, and the focus came from the keyboard: the widget draws its focus ring.
    bool ShowsFocusRing() { return Focused && TB_FocusFromKeys(); }
    // The ring around area: two pixels (scaled) of the style's focus colour, inside it.
    static void DrawFocusRing(TB_Graphics& graphics, const TB_Rectangle<float>& area);

    virtual void OnTabFocus() {}
    // Tab moved the focus to a widget inside this one: scrolls it into view where that means
    // anything.
    virtual void RevealDescendant(TB_NativeWidget*) {}
    virtual void ApplyText();
    virtual void ApplySize();
    virtual void ApplyPosition();
    virtual void ApplyBounds();
    virtual void ApplyBackgroundColor() {}
    void SetPosition(float x, float y) { SetPosition(TB_Vector2{x, y}); }
    void SetSize(float width, float height) { SetSize(TB_Vector2{width, height}); }
    void SetBounds(float x, float y, float width, float height) {
        SetBounds(TB_Rectangle<float>{x, y, width, height});
    }
    virtual void SetAllowDrop(bool allow);
    // Drags the items (file lists, application formats, the first item's image) out of this
    // widget; returns when the drag ends with the effect the target chose in effect (0 when
    // cancelled). The caller keeps its counts of the items.
    void StartDrag(TB_List<TB_DropData*>* items, tb_uint allowedEffects, tb_uint* effect);
    virtual bool HandleCommonMessage(TB_WindowHandle window, tb_uint message, tb_uint64 wParam,
                                     tb_int64 lParam, tb_int64& result);
    // The window's messages; true when handled (the platform's default processing is skipped).
    virtual bool WindowProc(TB_WindowHandle window, tb_uint message, tb_uint64 wParam,
                            tb_int64 lParam, tb_int64& result);
    virtual bool HandlePaint(TB_WindowHandle window, tb_uint message, TB_PaintDevice* device,
                             const TB_Rectangle<int>& updateArea, tb_int64& result);
    virtual bool OnCommand(TB_WindowHandle, tb_uint, tb_uint64, tb_int64, tb_int64&, tb_int) {
        return false;
    }
    virtual void BeginDeferLayout() { DeferLayout = true; }
    // Moves every child queued during a resize in one batch.
    virtual void EndDeferLayout();
    virtual void OnDeactivated() {
        TB_EventArg arg;
        OnDeactivated(arg);
    }
    virtual void OnDeactivated(TB_EventArg& arg) { Deactivated.Fire(arg); }
    virtual void OnTaskIcon(TB_TaskIconEventArg& arg) { TaskIcon.Fire(arg); }
    virtual void OnHotKey(TB_HotKeyEventArg& arg) { HotKey.Fire(arg); }

    // Applied when the window exists, or when it is made.
    void SetToolTip(const TB_String& text);

    // What assistive tools are told about the widget: the base says a panel named by its
    // text, or by its tooltip when it shows no text.
    virtual void DescribeAccessible(TB_AccessibleInfo& info);
    // Items drawn inside the widget that are objects of their own to assistive tools.
    virtual tb_int AccessibleItemCount() { return 0; }
    virtual void DescribeAccessibleItem(tb_int, TB_AccessibleInfo&) {}
    // The default action of the widget (item < 0: press, toggle) or of one of its items
    // (select); false when there is none.
    virtual bool DoAccessibleAction(tb_int item);
    // An item's second action, as Enter or a double click would (a list row: play it).
    virtual bool ActivateAccessibleItem(tb_int) { return false; }
    // Tells assistive tools that something about the widget (or an item of it) changed.
    void AccessibleChanged(TB_AccessibleChange change, tb_int item = -1);
    // The integer rectangle of the stored bounds, right and bottom edges rounded outwards.
    TB_Rectangle<int> IntegerBounds() const;
    // GUI thread: where other threads post to this widget's window. Made on first use; the
    // widget holds one count, a thread that keeps it takes one of its own.
    TB_PostTarget* GetPostTarget();

    TB_String Text;
    TB_WindowHandle Window = nullptr;
    tb_int ShowState = 1;  // 1 normal, 3 maximised, 6 minimised
    tb_int ControlId;
    bool NoDefaultProcessing = false;
    bool AllowDrop = false;
    bool AllowDrag = false;
    TB_NativeBitmap* BackBuffer = nullptr;
    tb_int BackBufferWidth = 0;
    tb_int BackBufferHeight = 0;
    bool FillBackground = false;
    // With FillBackground: a 1 px frame around the client area when not transparent.
    TB_Color BorderColor{0, 0, 0, 0};
    bool KeepActiveLook = false;
    bool Enable = true;
    bool DeferLayout = false;
    TB_List<TB_NativeWidget*> DeferredChildren;
    TB_Rectangle<int> AppliedBounds{0, 0, 0, 0};
    bool DeferPending = false;
    TB_String ToolTipText;
    // What assistive tools call the widget where its text or tooltip would not say (a field).
    TB_String AccessibleName;
    bool TabStop = false;
    bool IsCreated = false;
    float Width = 100;
    float Height = 100;
    float X = 0;
    float Y = 0;
    bool DoubleBuffered = true;
    bool Focused = false;
    bool Visible = true;
    TB_NativeWidget* ModalChild = nullptr;
    bool IsModal = false;

    TB_Event<TB_EventArg> Deactivated;
    TB_Event<TB_TaskIconEventArg> TaskIcon;
    TB_Event<TB_HotKeyEventArg> HotKey;

protected:
    // Makes this widget's window of the given kind under the parent's window.
    void CreateNativeWindow(TB_Platform::WindowKind kind);
    // Makes a child window and applies Enable; true when a new window now exists (a widget
    // whose window exists already is only marked created).
    bool CreateChildWindow();
    void ResizeBackBuffer(tb_int width, tb_int height);
    // Pushes the stored geometry: sizeOnly and positionOnly as the Apply operations need.
    void ApplyGeometry(bool size, bool position);
    TB_NativeWidget* NativeParent() const;

private:
    static tb_int s_nextControlId;
    TB_PostTarget* m_postTarget = nullptr;
    TB_DataObject* m_dataObject = nullptr;  // the last drag's data, kept until the next
};
