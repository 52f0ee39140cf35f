#include "platform/tb_native_window.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPointer>
#include <QToolTip>

#include <utility>
#include <vector>

#include "platform/tb_qt_loops.h"
#include "platform/tb_qt_platform.h"
#include "platform/tb_qt_popupshadow.h"
#include "tb_framework.h"
#include "tb_messageloop.h"
#include "tb_nativewidget.h"

namespace {

// While a key event is handled, the modifiers held with it. Asking the keyboard instead would
// lose a Shift already released when a busy program takes the key (Shift+Tab moving forward).
Qt::KeyboardModifiers g_keyModifiers;
bool g_keyModifiersKnown = false;

class KeyModifiersInForce {
public:
    explicit KeyModifiersInForce(Qt::KeyboardModifiers modifiers)
        : m_saved(g_keyModifiers), m_savedKnown(g_keyModifiersKnown) {
        g_keyModifiers = modifiers;
        g_keyModifiersKnown = true;
    }
    ~KeyModifiersInForce() {
        g_keyModifiers = m_saved;
        g_keyModifiersKnown = m_savedKnown;
    }
    KeyModifiersInForce(const KeyModifiersInForce&) = delete;
    KeyModifiersInForce& operator=(const KeyModifiersInForce&) = delete;

private:
    Qt::KeyboardModifiers m_saved;
    bool m_savedKnown;
};

// Qt keys as virtual-key codes.
int VirtualKey(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        return TB_VK_A + (key - Qt::Key_A);
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        return TB_VK_0 + (key - Qt::Key_0);
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return TB_VK_F1 + (key - Qt::Key_F1);
    }
    switch (key) {
        case Qt::Key_Backspace:
            return TB_VK_BACK;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return TB_VK_TAB;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return TB_VK_RETURN;
        case Qt::Key_Shift:
            return TB_VK_SHIFT;
        case Qt::Key_Control:
            return TB_VK_CONTROL;
        case Qt::Key_Alt:
            return TB_VK_MENU;
        case Qt::Key_Escape:
            return TB_VK_ESCAPE;
        case Qt::Key_Space:
            return TB_VK_SPACE;
        case Qt::Key_PageUp:
            return TB_VK_PRIOR;
        case Qt::Key_PageDown:
            return TB_VK_NEXT;
        case Qt::Key_End:
            return TB_VK_END;
        case Qt::Key_Home:
            return TB_VK_HOME;
        case Qt::Key_Left:
            return TB_VK_LEFT;
        case Qt::Key_Up:
            return TB_VK_UP;
        case Qt::Key_Right:
            return TB_VK_RIGHT;
        case Qt::Key_Down:
            return TB_VK_DOWN;
        case Qt::Key_Insert:
            return TB_VK_INSERT;
        case Qt::Key_Delete:
            return TB_VK_DELETE;
        default:
            return 0;
    }
}

// The letter or digit at a key's place on a US keyboard, from its X keycode (evdev code + 8),
// so shortcuts follow the key on layouts whose keys produce other characters (Cyrillic,
// Greek, the shifted digits of AZERTY). 0 for other keys.
int KeyAtUsPlace(quint32 scanCode) {
    static const char kRows[][2] = {
        {2, '1'},  {3, '2'},  {4, '3'},  {5, '4'},  {6, '5'},  {7, '6'},  {8, '7'},  {9, '8'},
        {10, '9'}, {11, '0'}, {16, 'Q'}, {17, 'W'}, {18, 'E'}, {19, 'R'}, {20, 'T'}, {21, 'Y'},
        {22, 'U'}, {23, 'I'}, {24, 'O'}, {25, 'P'}, {30, 'A'}, {31, 'S'}, {32, 'D'}, {33, 'F'},
        {34, 'G'}, {35, 'H'}, {36, 'J'}, {37, 'K'}, {38, 'L'}, {44, 'Z'}, {45, 'X'}, {46, 'C'},
        {47, 'V'}, {48, 'B'}, {49, 'N'}, {50, 'M'}};
    if (scanCode < 8) {
        return 0;
    }
    for (const auto& row : kRows) {
        if (static_cast<quint32>(row[0]) == scanCode - 8) {
            return row[1];
        }
    }
    return 0;
}

// The virtual key of a key event: Qt's key where it names one, else the key's place.
int VirtualKey(const QKeyEvent* event) {
    int key = VirtualKey(event->key());
    return key != 0 ? key : KeyAtUsPlace(event->nativeScanCode());
}

// Whether an input method is composing text in some window: its keys are not shortcuts.
bool g_composing = false;

unsigned MouseMessage(Qt::MouseButton button, bool down) {
    switch (button) {
        case Qt::RightButton:
            return down ? TB_WM_RBUTTONDOWN : TB_WM_RBUTTONUP;
        case Qt::MiddleButton:
            return down ? TB_WM_MBUTTONDOWN : TB_WM_MBUTTONUP;
        case Qt::XButton1:
        case Qt::XButton2:
            return down ? TB_WM_XBUTTONDOWN : TB_WM_XBUTTONUP;
        default:
            return down ? TB_WM_LBUTTONDOWN : TB_WM_LBUTTONUP;
    }
}

QString ToQString(const TB_String& text) {
    return QString::fromUtf16(text.Chars() ? text.Chars() : u"", text.Length());
}

}  // namespace

unsigned TB_NativeWindow::KeyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    unsigned state = 0;
    const std::pair<bool, unsigned> bits[] = {
        {(buttons & Qt::LeftButton) != 0, TB_MK_LBUTTON},
        {(buttons & Qt::RightButton) != 0, TB_MK_RBUTTON},
        {(buttons & Qt::MiddleButton) != 0, TB_MK_MBUTTON},
        {(buttons & Qt::XButton1) != 0, TB_MK_XBUTTON1},
        {(buttons & Qt::XButton2) != 0, TB_MK_XBUTTON2},
        {(modifiers & Qt::ShiftModifier) != 0, TB_MK_SHIFT},
        {(modifiers & Qt::ControlModifier) != 0, TB_MK_CONTROL},
    };
    for (const auto& [held, bit] : bits) {
        if (held) {
            state |= bit;
        }
    }
    return state;
}

TB_NativeWindow::TB_NativeWindow(TB_NativeWidget* widget, QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), m_widget(widget) {
    setAcceptDrops(widget && widget->AllowDrop);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_InputMethodEnabled, widget && widget->AcceptsTextInput);
}

TB_NativeWindow::~TB_NativeWindow() {
    if (m_widget) {
        Send(TB_WM_DESTROY, 0, 0);
        m_widget = nullptr;
    }
    TB_QtCheckLoops();
}

bool TB_NativeWindow::Send(unsigned message, unsigned long long wParam, long long lParam,
                           long long* result) {
    TB_NativeWidget* widget = m_widget;
    // A widget whose last count is gone is being destroyed; it takes no more messages.
    if (!widget || widget->RefCount() < 1) {
        return false;
    }
    tb_int64 answer = 0;
    ++TB_QtDispatchDepth();
    // The count keeps the widget alive through handlers that release it (a frame closed by
    // its own Closing handler or a posted action); this window is then deleted later.
    widget->AddRef();
    bool handled = widget->WindowProc(this, message, wParam, lParam, answer);
    widget->Release();
    --TB_QtDispatchDepth();
    if (result) {
        *result = answer;
    }
    return handled;
}

namespace {

unsigned SizeState(const QWidget& window) {
    return (window.windowState() & Qt::WindowMinimized)   ? TB_SIZE_MINIMIZED
           : (window.windowState() & Qt::WindowMaximized) ? TB_SIZE_MAXIMIZED
                                                          : TB_SIZE_RESTORED;
}

}  // namespace

bool TB_NativeWindow::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            // Tab reaches the widget as a key; Qt's own focus chain is not used.
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
                keyPressEvent(key);
                return true;
            }
            break;
        }
        case QEvent::Leave:
            Send(TB_WM_MOUSELEAVE, 0, 0);
            break;
        case QEvent::WindowActivate:
            if (Send(TB_WM_ACTIVATE, 1, 0)) {
                return true;
            }
            break;
        case QEvent::WindowDeactivate:
            Send(TB_WM_ACTIVATE, 0, 0);
            break;
        case QEvent::ToolTip:
            break;
        case QEvent::Show:
            // Sent before the window is mapped: the shadow goes up first, so it lies below.
            FollowWithShadow();
            break;
        case QEvent::Hide:
            if (m_shadow) {
                m_shadow->hide();
            }
            break;
        case QEvent::WindowStateChange:
            // A minimise or restore changes no size, so Qt sends no resize; the widget still
            // has to learn its new show state, as a native size message would tell it. Once
            // the window is hidden (closing), the window manager's withdrawal reads as a
            // restore and must not overwrite the state the window was closed in.
            if (isWindow() && isVisible()) {
                Send(TB_WM_SIZE, SizeState(*this), TB_MakePointLParam(width(), height()));
            }
            break;
        default:
            if (event->type() == TB_kPostedActionEvent) {
                TB_Action* action = static_cast<TB_PostedActionEvent*>(event)->Take();
                if (!Send(TB_WM_POSTED_ACTION, reinterpret_cast<unsigned long long>(action), 1) &&
                    action) {
                    action->Release();
                }
                TB_QtCheckLoops();
                return true;
            }
            break;
    }
    return QWidget::event(event);
}

void TB_NativeWindow::paintEvent(QPaintEvent* event) {
    QRect area = event->rect();
    TB_Rectangle<int> update{area.x(), area.y(), area.width(), area.height()};
    if (!Send(TB_WM_PAINT, reinterpret_cast<unsigned long long>(static_cast<QPaintDevice*>(this)),
              reinterpret_cast<long long>(&update))) {
        QWidget::paintEvent(event);
    }
}

void TB_NativeWindow::FollowWithShadow() {
    if (windowType() != Qt::Popup || !TB_PopupShadow::Wanted()) {
        return;
    }
    if (!m_shadow) {
        m_shadow = std::make_unique<TB_PopupShadow>();
    }
    m_shadow->Follow(geometry(), this);
    // The window system may map the new shadow after the popup; the popup goes back on top
    // once it is up.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isVisible()) {
                raise();
            }
        },
        Qt::QueuedConnection);
}

void TB_NativeWindow::resizeEvent(QResizeEvent* event) {
    if (m_shadow && m_shadow->isVisible()) {
        FollowWithShadow();
    }
    Send(TB_WM_SIZE, SizeState(*this),
         TB_MakePointLParam(event->size().width(), event->size().height()));
}

void TB_NativeWindow::moveEvent(QMoveEvent*) {
    if (m_shadow && m_shadow->isVisible()) {
        FollowWithShadow();
    }
    Send(TB_WM_MOVE, 0, TB_MakePointLParam(x(), y()));
}

void TB_NativeWindow::closeEvent(QCloseEvent* event) {
    if (Send(TB_WM_CLOSE, 0, 0)) {
        event->ignore();
        return;
    }
    event->accept();
    // Deleted once Qt is done with the close event, never from inside it.
    ++TB_QtDispatchDepth();
    TB_GetQtPlatform().DestroyWindow(this, true);
    --TB_QtDispatchDepth();
}

// While popups are open Qt gives the pointer to the newest one, even over an older popup
// (a menu under its submenu). Presses and moves over another popup of the program go to
// that popup, as they would without the grab.
TB_NativeWindow* TB_NativeWindow::MouseTarget(const QPointF& global, QPoint& local) {
    local = mapFromGlobal(global.toPoint());
    if (windowType() != Qt::Popup || rect().contains(local)) {
        return this;
    }
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* other = dynamic_cast<TB_NativeWindow*>(top);
        if (other && other != this && other->isVisible() && other->windowType() == Qt::Popup &&
            other->Widget() && other->frameGeometry().contains(global.toPoint())) {
            local = other->mapFromGlobal(global.toPoint());
            return other;
        }
    }
    return this;
}

void TB_NativeWindow::SendButton(QMouseEvent* event, bool down) {
    unsigned long long wParam = KeyState(event->buttons(), event->modifiers());
    if (event->button() == Qt::XButton1 || event->button() == Qt::XButton2) {
        wParam |= static_cast<unsigned long long>(event->button() == Qt::XButton1 ? TB_XBUTTON1
                                                                                  : TB_XBUTTON2)
                  << 16;
    }
    QPoint p;
    TB_NativeWindow* target = MouseTarget(event->globalPosition(), p);
    if (down && target == this && windowType() == Qt::Popup && !rect().contains(p)) {
        // A press outside every popup of ours ends this one, as Qt's own popups do (the
        // grab brings presses anywhere on the screen here).
        ++TB_QtDispatchDepth();  // so the window is deleted after this handler, not inside it
        close();
        --TB_QtDispatchDepth();
        return;
    }
    if (!target->Send(MouseMessage(event->button(), down), wParam,
                      TB_MakePointLParam(p.x(), p.y()))) {
        event->ignore();
    }
}

void TB_NativeWindow::mousePressEvent(QMouseEvent* event) {
    SendButton(event, true);
}

void TB_NativeWindow::mouseReleaseEvent(QMouseEvent* event) {
    SendButton(event, false);
}

// Double clicks come from the toolkit's own click synthesis: a second press is a press.
void TB_NativeWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void TB_NativeWindow::mouseMoveEvent(QMouseEvent* event) {
    QPoint p;
    TB_NativeWindow* target = MouseTarget(event->globalPosition(), p);
    if (target != this && m_widget && m_widget->MouseTracked) {
        Send(TB_WM_MOUSELEAVE, 0, 0);  // the pointer has moved on to the other popup
    }
    if (!target->Send(TB_WM_MOUSEMOVE, KeyState(event->buttons(), event->modifiers()),
                      TB_MakePointLParam(p.x(), p.y()))) {
        event->ignore();
    }
}

void TB_NativeWindow::wheelEvent(QWheelEvent* event) {
    QPoint global = event->globalPosition().toPoint();
    auto delta = static_cast<std::uint16_t>(static_cast<std::int16_t>(event->angleDelta().y()));
    unsigned long long wParam = (static_cast<unsigned long long>(delta) << 16) |
                                KeyState(event->buttons(), event->modifiers());
    if (!Send(TB_WM_MOUSEWHEEL, wParam, TB_MakePointLParam(global.x(), global.y()))) {
        event->ignore();  // Qt passes it on to the parent window
    }
}

void TB_NativeWindow::keyPressEvent(QKeyEvent* event) {
    KeyModifiersInForce held(event->modifiers());
    int key = VirtualKey(event);
    bool handled = false;
    Qt::KeyboardModifiers modifiers = event->modifiers();
    // Qt offers a key the focused window leaves unhandled to each parent window in turn; the
    // shortcut walk belongs to the first delivery only, where the press was aimed.
    QWidget* aimed = QApplication::activePopupWidget();
    if (aimed) {
        aimed = aimed->focusWidget() ? aimed->focusWidget() : aimed;
    } else {
        aimed = QApplication::focusWidget();
    }
    bool firstDelivery = aimed ? aimed == this : isWindow();
    if (key != 0 && firstDelivery && !g_composing && m_widget) {
        ++TB_QtDispatchDepth();  // an action that frees this window has it deleted later
        bool taken =
            TB_DispatchShortcut(m_widget, key, modifiers & Qt::ShiftModifier,
                                modifiers & Qt::AltModifier, modifiers & Qt::ControlModifier);
        --TB_QtDispatchDepth();
        if (taken) {
            return;  // a shortcut took the key
        }
    }
    if (key != 0) {
        unsigned message =
            (event->modifiers() & Qt::AltModifier) ? TB_WM_SYSKEYDOWN : TB_WM_KEYDOWN;
        handled = Send(message, static_cast<unsigned long long>(key), 0);
    }
    // Characters are made only for widgets that take text, as the message loop would.
    if (m_widget && m_widget->AcceptsTextInput) {
        for (QChar c : event->text()) {
            if (c.unicode() >= 0x20 || c.unicode() == '\t' || c.unicode() == '\r' ||
                c.unicode() == '\b') {
                handled = Send(TB_WM_CHAR, c.unicode(), 0) || handled;
            }
        }
    }
    if (!handled) {
        event->ignore();
    }
}

bool TB_NativeWindow::PreviewControlKey(QKeyEvent* event) {
    KeyModifiersInForce held(event->modifiers());
    int key = VirtualKey(event);
    if (key == 0 || !m_widget) {
        return false;
    }
    Qt::KeyboardModifiers modifiers = event->modifiers();
    if (!g_composing) {
        ++TB_QtDispatchDepth();
        bool taken =
            TB_DispatchShortcut(m_widget, key, modifiers & Qt::ShiftModifier,
                                modifiers & Qt::AltModifier, modifiers & Qt::ControlModifier);
        --TB_QtDispatchDepth();
        if (taken) {
            return true;
        }
    }
    unsigned message = (modifiers & Qt::AltModifier) ? TB_WM_SYSKEYDOWN : TB_WM_KEYDOWN;
    return Send(message, static_cast<unsigned long long>(key), 0);
}

void TB_NativeWindow::SetComposing(bool composing) {
    g_composing = composing;
}

void TB_NativeWindow::inputMethodEvent(QInputMethodEvent* event) {
    g_composing = !event->preeditString().isEmpty();
    QWidget::inputMethodEvent(event);
}

void TB_NativeWindow::keyReleaseEvent(QKeyEvent* event) {
    KeyModifiersInForce held(event->modifiers());
    int key = VirtualKey(event);
    unsigned message = (event->modifiers() & Qt::AltModifier) ? TB_WM_SYSKEYUP : TB_WM_KEYUP;
    if (key == 0 || !Send(message, static_cast<unsigned long long>(key), 0)) {
        event->ignore();
    }
}

void TB_NativeWindow::focusInEvent(QFocusEvent*) {
    Send(TB_WM_SETFOCUS, 0, 0);
}

void TB_NativeWindow::focusOutEvent(QFocusEvent*) {
    Send(TB_WM_KILLFOCUS, 0, 0);
}

bool TB_QtPlatform::IsKeyDown(tb_int virtualKey) {
    Qt::KeyboardModifiers modifiers =
        g_keyModifiersKnown ? g_keyModifiers : QGuiApplication::queryKeyboardModifiers();
    switch (virtualKey) {
        case TB_VK_SHIFT:
            return modifiers & Qt::ShiftModifier;
        case TB_VK_CONTROL:
            return modifiers & Qt::ControlModifier;
        case TB_VK_MENU:
            return modifiers & Qt::AltModifier;
        default:
            return false;
    }
}

void TB_QtPlatform::SetCapture(TB_WindowHandle window) {
    if (window) {
        window->grabMouse();
    }
}

void TB_QtPlatform::ReleaseCapture() {
    if (QWidget* grabber = QWidget::mouseGrabber()) {
        grabber->releaseMouse();
    }
}

void TB_QtPlatform::ShowCursor(tb_int cursorKind) {
    static const Qt::CursorShape kShapes[14] = {
        Qt::ArrowCursor,   Qt::IBeamCursor,     Qt::WaitCursor,      Qt::CrossCursor,
        Qt::UpArrowCursor, Qt::SizeFDiagCursor, Qt::SizeBDiagCursor, Qt::SizeHorCursor,
        Qt::SizeVerCursor, Qt::SizeAllCursor,   Qt::ForbiddenCursor, Qt::PointingHandCursor,
        Qt::BusyCursor,    Qt::WhatsThisCursor};
    if (QWidget* under = QApplication::widgetAt(QCursor::pos())) {
        under->setCursor(kShapes[cursorKind >= 0 && cursorKind < 14 ? cursorKind : 0]);
    }
}

void TB_QtPlatform::SetFocus(TB_WindowHandle window) {
    if (window) {
        window->setFocus(Qt::OtherFocusReason);
    }
}

TB_Vector2 TB_QtPlatform::ScreenToClient(TB_WindowHandle window, TB_Vector2 point) {
    if (!window) {
        return point;
    }
    QPoint local =
        window->mapFromGlobal(QPoint(static_cast<int>(point.x), static_cast<int>(point.y)));
    return TB_Vector2{static_cast<float>(local.x()), static_cast<float>(local.y())};
}

void TB_QtPlatform::SetImeCompositionPosition(TB_WindowHandle window, tb_int, tb_int) {
    if (window) {
        QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
    }
}

void TB_QtPlatform::SetImeOpen(TB_WindowHandle window, bool open) {
    if (window) {
        window->setAttribute(Qt::WA_InputMethodEnabled, open);
    }
}

void TB_QtPlatform::Beep() {
    QApplication::beep();
}

TB_WindowHandle TB_QtPlatform::CreateWindow(TB_NativeWidget* widget, WindowKind kind,
                                            TB_WindowHandle parent, const TB_Rectangle<int>& bounds,
                                            const TB_String& title, bool visible) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return nullptr;
    }
    Qt::WindowFlags flags = Qt::Widget;
    QWidget* parentWidget = parent ? parent : nullptr;
    if (kind == WindowKind::Frame) {
        flags = Qt::Window;
    } else if (kind == WindowKind::Popup) {
        // Qt's popup kind: no task-bar entry, the keyboard goes to it, and a press anywhere
        // outside it (outside the program too, as it grabs the pointer) closes it, whatever
        // the window manager does with the focus.
        flags = Qt::Popup | Qt::FramelessWindowHint;
    }
    auto* window = new TB_NativeWindow(widget, parentWidget, flags);
    if (kind != WindowKind::Child) {
        window->setWindowTitle(ToQString(title));
    }
    window->setGeometry(bounds.x, bounds.y, bounds.width > 0 ? bounds.width : 0,
                        bounds.height > 0 ? bounds.height : 0);
    window->Send(TB_WM_CREATE, 0, 0);
    if (kind == WindowKind::Child) {
        // Explicitly: a child never shown or hidden by hand would appear with its parent.
        window->setVisible(visible);
    }
    return window;
}

void TB_QtPlatform::DestroyWindow(TB_WindowHandle window, bool notify) {
    if (!window) {
        return;
    }
    TB_NativeWindow* native = window;
    if (notify && native->Widget()) {
        native->Send(TB_WM_DESTROY, 0, 0);
    }
    native->Detach();
    native->hide();
    if (TB_QtDispatchDepth() > 0) {
        native->deleteLater();  // a handler of this window (or of a child) is still running
    } else {
        delete native;
    }
    TB_QtCheckLoops();
}

// Window rectangles are client geometry, for top-level windows too: the decorations belong
// to the window manager and are not known until it has framed the window, and bounds that
// included them would grow by their size at every save and restore.
void TB_QtPlatform::SetWindowBounds(TB_WindowHandle window, const TB_Rectangle<int>& bounds) {
    if (window) {
        window->setGeometry(bounds.x, bounds.y, std::max(0, bounds.width),
                            std::max(0, bounds.height));
    }
}

void TB_QtPlatform::SetMinimumClientSize(TB_WindowHandle window, tb_int width, tb_int height) {
    if (window) {
        window->setMinimumSize(std::max(0, width), std::max(0, height));
    }
}

TB_Rectangle<int> TB_QtPlatform::GetWindowBounds(TB_WindowHandle window) {
    if (!window) {
        return {};
    }
    QRect r = window->geometry();
    return TB_Rectangle<int>{r.x(), r.y(), r.width(), r.height()};
}

TB_Vector2 TB_QtPlatform::GetClientSize(TB_WindowHandle window) {
    if (!window) {
        return {};
    }
    QSize size = window->size();
    return TB_Vector2{static_cast<float>(size.width()), static_cast<float>(size.height())};
}

// Bounds are client geometry (see SetWindowBounds), so no border lies inside them.
TB_Rectangle<int> TB_QtPlatform::GetFrameMargins(TB_WindowHandle) {
    return TB_Rectangle<int>{0, 0, 0, 0};
}

void TB_QtPlatform::ShowWindow(TB_WindowHandle window, tb_int showCommand) {
    if (!window) {
        return;
    }
    TB_NativeWindow* native = window;
    switch (showCommand) {
        case 0:
            native->hide();
            break;
        case 3:
            native->showMaximized();
            break;
        case 6:
            native->showMinimized();
            break;
        default:
            native->isWindow() ? native->showNormal() : native->show();
            break;
    }
}

bool TB_QtPlatform::IsWindowVisible(TB_WindowHandle window) {
    return window && window->isVisible();
}

void TB_QtPlatform::EnableWindow(TB_WindowHandle window, bool enable) {
    if (window) {
        window->setEnabled(enable);
    }
}

bool TB_QtPlatform::IsWindowEnabled(TB_WindowHandle window) {
    return window && window->isEnabled();
}

void TB_QtPlatform::SetWindowText(TB_WindowHandle window, const TB_String& text) {
    if (window) {
        window->setWindowTitle(ToQString(text));
    }
}

void TB_QtPlatform::SetParentWindow(TB_WindowHandle window, TB_WindowHandle parent) {
    if (window) {
        bool visible = window->isVisibleTo(window->parentWidget());
        window->setParent(parent ? parent : nullptr);
        window->setVisible(visible || window->Widget() != nullptr);
    }
}

void TB_QtPlatform::InvalidateRect(TB_WindowHandle window, const TB_Rectangle<int>* area) {
    if (!window) {
        return;
    }
    if (area) {
        window->update(area->x, area->y, area->width, area->height);
    } else {
        window->update();
    }
}

void TB_QtPlatform::UpdateWindow(TB_WindowHandle window) {
    if (window && window->isVisible()) {
        window->repaint();
    }
}

TB_Vector2 TB_QtPlatform::ClientToScreen(TB_WindowHandle window, TB_Vector2 point) {
    if (!window) {
        return point;
    }
    QPoint global =
        window->mapToGlobal(QPoint(static_cast<int>(point.x), static_cast<int>(point.y)));
    return TB_Vector2{static_cast<float>(global.x()), static_cast<float>(global.y())};
}

void TB_QtPlatform::SetToolTip(TB_WindowHandle window, const TB_String& text) {
    if (window) {
        window->setToolTip(ToQString(text));
    }
}

void TB_QtPlatform::SetForegroundWindow(TB_WindowHandle window) {
    if (window) {
        window->raise();
        window->activateWindow();
    }
}

TB_WindowHandle TB_QtPlatform::GetActiveWindow() {
    if (QWidget* popup = QApplication::activePopupWidget()) {
        return dynamic_cast<TB_NativeWindow*>(popup);
    }
    return dynamic_cast<TB_NativeWindow*>(QApplication::activeWindow());
}

void TB_QtPlatform::RequestClose(TB_WindowHandle window) {
    if (window) {
        window->close();
    }
}

std::vector<TB_NativeWidget*> TB_QtPlatform::TopLevelWidgets() {
    std::vector<TB_NativeWidget*> widgets;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* native = dynamic_cast<TB_NativeWindow*>(top);
        if (native && native->Widget() && native->Widget()->RefCount() > 0) {
            widgets.push_back(native->Widget());
        }
    }
    return widgets;
}
