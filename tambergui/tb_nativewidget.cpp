#include "tb_nativewidget.h"

#include <algorithm>
#include <cmath>

#include "tb_action.h"
#include "tb_canvaswidget.h"
#include "tb_frame.h"
#include "tb_globalstyle.h"
#include "tb_nativecontainer.h"

tb_int TB_NativeWidget::s_nextControlId = 0;

TB_NativeWidget::TB_NativeWidget() : ControlId(s_nextControlId++) {}

TB_NativeWidget::~TB_NativeWidget() {
    if (m_dataObject) {
        m_dataObject->Release();
    }
    if (m_postTarget) {
        m_postTarget->Detach();
        m_postTarget->Release();
    }
    if (Window) {
        TB_WindowHandle window = Window;
        Window = nullptr;
        TB_GetPlatform().DestroyWindow(window, false);
    }
    if (BackBuffer) {
        BackBuffer->Release();
    }
}

void TB_NativeWidget::SetAllowDrop(bool allow) {
    AllowDrop = allow;
    if (Window) {
        TB_GetPlatform().SetAcceptDrops(Window, allow);
    }
}

void TB_NativeWidget::StartDrag(TB_List<TB_DropData*>* items, tb_uint allowedEffects,
                                tb_uint* effect) {
    if (effect) {
        *effect = 0;
    }
    if (!m_dataObject) {
        m_dataObject = new TB_DataObject();
    }
    if (!items || items->Count() == 0) {
        return;
    }
    m_dataObject->Clear();
    TB_Bitmap32* image = nullptr;
    tb_int offsetX = 0, offsetY = 0;
    for (TB_DropData* item : *items) {
        m_dataObject->SetData(item->Format, item->Data);
        if (item->DragImage && !image) {
            image = item->DragImage;
            offsetX = item->ImageOffsetX;
            offsetY = item->ImageOffsetY;
        }
    }
    TB_Ref<TB_NativeWidget> keep(this);  // the drag runs a loop of its own
    TB_Ref<TB_DataObject> data(m_dataObject);
    tb_uint result =
        TB_GetPlatform().StartDrag(Window, data.Get(), image, offsetX, offsetY, allowedEffects);
    if (effect) {
        *effect = result;
    }
}

TB_PostTarget* TB_NativeWidget::GetPostTarget() {
    if (!m_postTarget) {
        m_postTarget = new TB_PostTarget();
        m_postTarget->Attach(Window);
    }
    return m_postTarget;
}

TB_NativeWidget* TB_NativeWidget::NativeParent() const {
    return dynamic_cast<TB_NativeWidget*>(Parent);
}

void TB_NativeWidget::Create() {
    SetEnable(Enable);
    IsCreated = true;
}

void TB_NativeWidget::CreateNativeWindow(TB_Platform::WindowKind kind) {
    TB_NativeWidget* parent = NativeParent();
    TB_WindowHandle owner = parent ? parent->Window : nullptr;
    TB_Rectangle<int> bounds{static_cast<int>(X), static_cast<int>(Y), static_cast<int>(Width),
                             static_cast<int>(Height)};
    TB_GetPlatform().CreateWindow(this, kind, owner, bounds, Text, Visible);
}

bool TB_NativeWidget::CreateChildWindow() {
    if (Window) {
        TB_NativeWidget::Create();
        return false;
    }
    CreateNativeWindow(TB_Platform::WindowKind::Child);
    SetEnable(Enable);
    IsCreated = Window != nullptr;
    return IsCreated;
}

void TB_NativeWidget::SetText(const TB_String& text) {
    bool changed = !text.Equals(Text);
    Text = text;
    ApplyText();
    if (changed) {
        AccessibleChanged(TB_AccessibleChange::Name);
    }
}

void TB_NativeWidget::ApplyText() {
    if (Window) {
        TB_GetPlatform().SetWindowText(Window, Text);
        Invalidate();
    }
}

void TB_NativeWidget::SetBackgroundColor(const TB_Color& color) {
    BackgroundColor = color;
    ApplyBackgroundColor();
}

void TB_NativeWidget::SetPosition(const TB_Vector2& position) {
    X = position.x;
    Y = position.y;
    ApplyPosition();
}

void TB_NativeWidget::SetSize(const TB_Vector2& size) {
    if (size.x == Width && size.y == Height) {
        return;
    }
    Width = size.x;
    Height = size.y;
    ApplySize();
}

void TB_NativeWidget::SetBounds(const TB_Rectangle<float>& bounds) {
    X = bounds.x;
    Y = bounds.y;
    Width = bounds.width;
    Height = bounds.height;
    ApplyBounds();
}

TB_Rectangle<int> TB_NativeWidget::IntegerBounds() const {
    int x = static_cast<int>(X);
    int y = static_cast<int>(Y);
    int w = static_cast<int>(Width);
    int h = static_cast<int>(Height);
    if (X + Width > static_cast<float>(x + w)) {
        ++w;
    }
    if (Y + Height > static_cast<float>(y + h)) {
        ++h;
    }
    return TB_Rectangle<int>{x, y, w, h};
}

void TB_NativeWidget::ApplyGeometry(bool size, bool position) {
    if (!Window) {
        return;
    }
    TB_Rectangle<int> bounds = IntegerBounds();
    bool sameSize = bounds.width == AppliedBounds.width && bounds.height == AppliedBounds.height;
    bool samePosition = bounds.x == AppliedBounds.x && bounds.y == AppliedBounds.y;
    if ((size && !position && sameSize) || (position && !size && samePosition) ||
        (size && position && sameSize && samePosition)) {
        return;  // only when the integer rectangle changed
    }
    AppliedBounds = bounds;
    TB_NativeWidget* parent = NativeParent();
    if (parent && parent->DeferLayout) {
        parent->DeferredChildren.Add(this);
        DeferPending = true;
        return;
    }
    TB_Rectangle<int> current = TB_GetPlatform().GetWindowBounds(Window);
    if (!size) {
        bounds.width = current.width;
        bounds.height = current.height;
    }
    if (!position) {
        bounds.x = current.x;
        bounds.y = current.y;
    }
    TB_GetPlatform().SetWindowBounds(Window, bounds);
    TB_GetPlatform().UpdateWindow(Window);
}

void TB_NativeWidget::ApplySize() {
    ApplyGeometry(true, false);
}
void TB_NativeWidget::ApplyPosition() {
    ApplyGeometry(false, true);
}
void TB_NativeWidget::ApplyBounds() {
    ApplyGeometry(true, true);
}

void TB_NativeWidget::EndDeferLayout() {
    for (TB_NativeWidget* child : DeferredChildren) {
        child->DeferPending = false;
        if (child->Window) {
            // The rectangle recorded when the move was queued, so both paths round alike.
            TB_GetPlatform().SetWindowBounds(child->Window, child->IntegerBounds());
        }
    }
    DeferredChildren.Clear();
    DeferLayout = false;
}

TB_Rectangle<float> TB_NativeWidget::GetClientRectangle() {
    if (!Window) {
        return GetBounds();
    }
    if (DeferPending) {
        TB_Rectangle<int> m = TB_GetPlatform().GetFrameMargins(Window);
        return TB_Rectangle<float>{X + m.x, Y + m.y, Width - m.x - m.width,
                                   Height - m.y - m.height};
    }
    TB_Vector2 size = TB_GetPlatform().GetClientSize(Window);
    return TB_Rectangle<float>{0, 0, size.x, size.y};
}

void TB_NativeWidget::SetFocus() {
    TB_GetPlatform().SetFocus(Window);
}

void TB_NativeWidget::SetVisible(bool visible) {
    Visible = visible;
    if (Window) {
        TB_GetPlatform().ShowWindow(Window, visible ? 1 : 0);
        Invalidate();
    }
}

bool TB_NativeWidget::IsVisible() {
    return Window ? TB_GetPlatform().IsWindowVisible(Window) : Visible;
}

void TB_NativeWidget::SetEnable(bool enable) {
    if (IsEnable() == enable) {
        return;
    }
    Enable = enable;
    if (Window) {
        TB_GetPlatform().EnableWindow(Window, enable);
        OnEnableChanged();
        Invalidate();
    }
}

bool TB_NativeWidget::IsEnable() {
    return Window ? TB_GetPlatform().IsWindowEnabled(Window) : Enable;
}

TB_Vector2 TB_NativeWidget::ClientToScreen(const TB_Vector2& point) {
    TB_Vector2 whole{std::trunc(point.x), std::trunc(point.y)};
    return TB_GetPlatform().ClientToScreen(Window, whole);
}

void TB_NativeWidget::Close() {
    if (Window) {
        TB_GetPlatform().DestroyWindow(Window);
    }
}

void TB_NativeWidget::Invalidate(const TB_Rectangle<float>& area) {
    if (!Window) {
        return;
    }
    int left = static_cast<int>(area.x);
    int top = static_cast<int>(area.y);
    TB_Rectangle<int> whole{left, top, static_cast<int>(area.x + area.width) - left,
                            static_cast<int>(area.y + area.height) - top};
    TB_GetPlatform().InvalidateRect(Window, &whole);
}

void TB_NativeWidget::Invalidate() {
    if (Window) {
        TB_GetPlatform().InvalidateRect(Window, nullptr);
    }
}

void TB_NativeWidget::SetToolTip(const TB_String& text) {
    bool changed = !text.Equals(ToolTipText);
    if (Window && changed) {
        TB_GetPlatform().SetToolTip(Window, text);
    }
    ToolTipText = text;
    if (changed) {
        AccessibleChanged(TB_AccessibleChange::Name);  // icon buttons are named by it
    }
}

void TB_NativeWidget::DescribeAccessible(TB_AccessibleInfo& info) {
    info.Name = !AccessibleName.IsEmpty() ? AccessibleName : Text.IsEmpty() ? ToolTipText : Text;
    info.Focusable = TabStop;
    info.Focused = Focused;
}

bool TB_NativeWidget::DoAccessibleAction(tb_int) {
    return false;
}

void TB_NativeWidget::AccessibleChanged(TB_AccessibleChange change, tb_int item) {
    if (Window) {
        TB_GetPlatform().NotifyAccessible(this, change, item);
    }
}

namespace {

// The focusable widgets under a container, depth first in child order; hidden or disabled
// containers hide their children too.
void CollectTabStops(TB_NativeContainer* container, TB_List<TB_NativeWidget*>& stops) {
    for (TB_NativeWidget* child : container->Children) {
        if (!child->IsVisible() || !child->IsEnable()) {
            continue;
        }
        if (child->TabStop) {
            stops.Add(child);
        }
        if (auto* inner = dynamic_cast<TB_NativeContainer*>(child)) {
            CollectTabStops(inner, stops);
        }
    }
}

}  // namespace

void TB_NativeWidget::MoveFocus(bool forward) {
    // The window's root: the frame, or the outermost container of a widget not in one.
    auto* root = dynamic_cast<TB_NativeContainer*>(Parent);
    while (root && !dynamic_cast<TB_Frame*>(root)) {
        auto* up = dynamic_cast<TB_NativeContainer*>(root->Parent);
        if (!up) {
            break;
        }
        root = up;
    }
    if (!root) {
        return;
    }
    TB_List<TB_NativeWidget*> candidates;
    CollectTabStops(root, candidates);
    tb_int index = candidates.IndexOf(this);
    if (candidates.Count() < 2 || index < 0) {
        TB_GetPlatform().Beep();
        return;
    }
    tb_int count = candidates.Count();
    TB_NativeWidget* next = candidates[forward ? (index + 1) % count : (index + count - 1) % count];
    next->SetFocus();
    for (TB_Widget* up = next->Parent; up; up = up->Parent) {
        if (auto* native = dynamic_cast<TB_NativeWidget*>(up)) {
            native->RevealDescendant(next);
        }
    }
    next->OnTabFocus();
}

void TB_NativeWidget::DrawFocusRing(TB_Graphics& g, const TB_Rectangle<float>& area) {
    float width = std::max(1.0f, std::round(2 * TB_GetGlobalStyle().Scale));
    TB_Pen ring(TB_GetGlobalStyle().FocusFrame, width);
    TB_Pen* before = g.Pen;
    TB_Brush* brush = g.Brush;
    g.Pen = &ring;
    g.Brush = nullptr;
    float half = width / 2;
    g.DrawRectangle(
        TB_Rectangle<float>{area.x + half, area.y + half, area.width - width, area.height - width});
    g.Pen = before;
    g.Brush = brush;
}

void TB_NativeWidget::ResizeBackBuffer(tb_int width, tb_int height) {
    if (!DoubleBuffered || (BackBuffer && width == BackBufferWidth && height == BackBufferHeight)) {
        return;
    }
    if (BackBuffer) {
        BackBuffer->Release();
        BackBuffer = nullptr;
    }
    // Made at the first paint that needs it: a window is resized several times while it is
    // built, and most windows (frames, containers) never paint through one.
    BackBufferWidth = width;
    BackBufferHeight = height;
}

bool TB_NativeWidget::HandleCommonMessage(TB_WindowHandle window, tb_uint message, tb_uint64 wParam,
                                          tb_int64 lParam, tb_int64& result) {
    if (HandlePointerMessage(window, message, wParam, lParam, result) ||
        HandleKeyMessage(window, message, wParam, lParam, result)) {
        return true;
    }
    TB_Platform& platform = TB_GetPlatform();
    switch (message) {
        case TB_WM_DESTROY:
            IsCreated = false;
            Window = nullptr;  // the handle dies with the window
            if (m_postTarget) {
                m_postTarget->Detach();
            }
            return false;
        case TB_WM_MOVE: {
            TB_Rectangle<int> bounds = platform.GetWindowBounds(window);
            X = static_cast<float>(bounds.x);
            Y = static_cast<float>(bounds.y);
            OnMoved();
            return false;
        }
        case TB_WM_SIZE: {
            ShowState = wParam == TB_SIZE_MINIMIZED ? 6 : wParam == TB_SIZE_MAXIMIZED ? 3 : 1;
            TB_Rectangle<int> bounds = platform.GetWindowBounds(window);
            ResizeBackBuffer(bounds.width, bounds.height);
            Width = static_cast<float>(bounds.width);
            Height = static_cast<float>(bounds.height);
            BeginDeferLayout();
            OnResized();
            EndDeferLayout();
            return false;
        }
        case TB_WM_ACTIVATE:
            if (wParam != 0) {
                if (ModalChild && ModalChild->Window) {
                    platform.SetForegroundWindow(ModalChild->Window);
                    result = 0;
                    return true;
                }
                return false;
            }
            OnDeactivated();
            return false;
        case TB_WM_SETFOCUS:
            Focused = true;
            if (!AcceptsTextInput) {
                SetImeOpen(false);
            }
            OnGotFocus();
            Invalidate();
            return false;
        case TB_WM_KILLFOCUS:
            Focused = false;
            OnLostFocus();
            Invalidate();
            return false;
        case TB_WM_HOTKEY: {
            TB_HotKeyEventArg arg;
            arg.Id = static_cast<tb_int64>(wParam);
            arg.Alt = (lParam & 1) != 0;
            arg.Control = (lParam & 2) != 0;
            arg.Shift = (lParam & 4) != 0;
            OnHotKey(arg);
            return true;
        }
        case TB_WM_POSTED_ACTION: {
            auto* action = reinterpret_cast<TB_Action*>(wParam);
            if (action) {
                action->Execute();
                if (lParam == 1) {
                    action->Release();
                }
            }
            result = 1;
            return true;
        }
        case TB_WM_TASK_ICON: {
            TB_TaskIconEventArg arg;
            arg.Message = lParam;
            OnTaskIcon(arg);
            return true;
        }
        default:
            return false;
    }
}

bool TB_NativeWidget::WindowProc(TB_WindowHandle window, tb_uint message, tb_uint64 wParam,
                                 tb_int64 lParam, tb_int64& result) {
    if (HandleCommonMessage(window, message, wParam, lParam, result)) {
        return true;
    }
    switch (message) {
        case TB_WM_CREATE: {
            Window = window;
            if (m_postTarget) {
                m_postTarget->Attach(window);
            }
            TB_Rectangle<int> bounds = TB_GetPlatform().GetWindowBounds(window);
            X = static_cast<float>(bounds.x);
            Y = static_cast<float>(bounds.y);
            Width = static_cast<float>(bounds.width);
            Height = static_cast<float>(bounds.height);
            AppliedBounds = bounds;
            ResizeBackBuffer(bounds.width, bounds.height);
            OnCreated();
            if (!ToolTipText.IsEmpty()) {
                TB_GetPlatform().SetToolTip(window, ToolTipText);
            }
            result = 0;
            return true;
        }
        case TB_WM_PAINT:
        case TB_WM_PRINTCLIENT:
            return HandlePaint(window, message, reinterpret_cast<TB_PaintDevice*>(wParam),
                               *reinterpret_cast<const TB_Rectangle<int>*>(lParam), result);
        case TB_WM_CLOSE: {
            TB_ClosingEventArg arg;
            OnClosing(arg);
            if (arg.Cancel) {
                result = 0;
                return true;
            }
            return false;  // the platform's default destroys the window
        }
        default:
            return NoDefaultProcessing;
    }
}

bool TB_NativeWidget::HandlePaint(TB_WindowHandle, tb_uint message, TB_PaintDevice* device,
                                  const TB_Rectangle<int>& updateArea, tb_int64& result) {
    auto* canvas = dynamic_cast<TB_ICanvasWidget*>(this);
    TB_Rectangle<int> area = updateArea;
    if (message == TB_WM_PRINTCLIENT) {
        TB_Rectangle<float> client = GetClientRectangle();
        area = TB_Rectangle<int>{static_cast<int>(client.x), static_cast<int>(client.y),
                                 static_cast<int>(client.width), static_cast<int>(client.height)};
    }
    if (canvas && canvas->Paint.HasHandlers()) {
        TB_PaintEventArg arg;
        arg.ClipRect = area;
        if (DoubleBuffered && !BackBuffer && BackBufferWidth > 0 && BackBufferHeight > 0) {
            BackBuffer = new TB_NativeBitmap(BackBufferWidth, BackBufferHeight);
        }
        if (DoubleBuffered && BackBuffer) {
            auto* graphics = new TB_Graphics(BackBuffer);
            TB_Rectangle<float> clip{static_cast<float>(area.x), static_cast<float>(area.y),
                                     static_cast<float>(area.width),
                                     static_cast<float>(area.height)};
            graphics->SetClip(clip);
            arg.Graphics = graphics;
            canvas->OnPaint(arg);
            graphics->Release();
            auto* screen = new TB_Graphics(device, area);
            screen->DrawImage(BackBuffer, clip, clip);
            screen->Release();
        } else {
            auto* graphics = new TB_Graphics(device, area);
            arg.Graphics = graphics;
            canvas->OnPaint(arg);
            graphics->Release();
        }
        result = 0;
        return true;
    }
    if (FillBackground) {
        auto* graphics = new TB_Graphics(device, area);
        TB_SolidBrush brush(BackgroundColor);
        graphics->Brush = &brush;
        graphics->Pen = nullptr;
        graphics->DrawRectangle(
            TB_Rectangle<float>{static_cast<float>(area.x), static_cast<float>(area.y),
                                static_cast<float>(area.width), static_cast<float>(area.height)});
        if (BorderColor.a != 0) {
            TB_Pen frame(BorderColor, 1);
            TB_Vector2 client = GetClientSize();
            graphics->Brush = nullptr;
            graphics->Pen = &frame;
            graphics->DrawRectangle(TB_Rectangle<float>{0, 0, client.x - 1, client.y - 1});
            graphics->Pen = nullptr;
        }
        graphics->Release();
        result = 1;
        return true;
    }
    result = 0;
    return true;
}
