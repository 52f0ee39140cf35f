#include "tb_qt_platform.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDrag>
#include <QEventLoop>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTimerEvent>
#include <QToolTip>

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/tb_native_window.h"
#include "platform/tb_qt_popupshadow.h"
#include "tb_action.h"
#include "tb_dropdata.h"
#include "tb_framework.h"
#include "tb_messageloop.h"
#include "tb_nativewidget.h"
#include "tb_uitimer.h"

namespace {

const QEvent::Type kPostedActionEvent = static_cast<QEvent::Type>(QEvent::User + 3);
// The room a desktop panel takes where the window system does not say (Wayland).
constexpr int kUnknownPanelHeight = 48;

// Carries a posted action; an action whose window died before delivery is released here.
class PostedActionEvent : public QEvent {
public:
    explicit PostedActionEvent(TB_Action* action) : QEvent(kPostedActionEvent), m_action(action) {}
    ~PostedActionEvent() override {
        if (m_action) {
            m_action->Release();
        }
    }
    TB_Action* Take() {
        TB_Action* action = m_action;
        m_action = nullptr;
        return action;
    }

private:
    TB_Action* m_action;
};

// Nesting depth of window event handlers: a window destroyed inside one is deleted later.
int g_dispatchDepth = 0;

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

struct LoopEntry {
    QEventLoop* loop;
    const std::function<bool()>* done;
};
std::vector<LoopEntry> g_loops;

void CheckLoops() {
    for (LoopEntry& entry : g_loops) {
        if ((*entry.done)()) {
            entry.loop->quit();
        }
    }
}

TB_NativeWindow* Native(TB_WindowHandle window) {
    return static_cast<TB_NativeWindow*>(static_cast<QWidget*>(window));
}

unsigned KeyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
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

// ---- TB_NativeWindow ----

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
    CheckLoops();
}

bool TB_NativeWindow::Send(unsigned message, unsigned long long wParam, long long lParam,
                           long long* result) {
    TB_NativeWidget* widget = m_widget;
    // A widget whose last count is gone is being destroyed; it takes no more messages.
    if (!widget || widget->RefCount() < 1) {
        return false;
    }
    tb_int64 answer = 0;
    ++g_dispatchDepth;
    // The count keeps the widget alive through handlers that release it (a frame closed by
    // its own Closing handler or a posted action); this window is then deleted later.
    widget->AddRef();
    bool handled = widget->WindowProc(this, message, wParam, lParam, answer);
    widget->Release();
    --g_dispatchDepth;
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
            if (event->type() == kPostedActionEvent) {
                TB_Action* action = static_cast<PostedActionEvent*>(event)->Take();
                if (!Send(TB_WM_POSTED_ACTION, reinterpret_cast<unsigned long long>(action), 1) &&
                    action) {
                    action->Release();
                }
                CheckLoops();
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
    ++g_dispatchDepth;
    TB_GetQtPlatform().DestroyWindow(this, true);
    --g_dispatchDepth;
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
        ++g_dispatchDepth;  // so the window is deleted after this handler, not inside it
        close();
        --g_dispatchDepth;
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
        ++g_dispatchDepth;  // an action that frees this window has it deleted later
        bool taken =
            TB_DispatchShortcut(m_widget, key, modifiers & Qt::ShiftModifier,
                                modifiers & Qt::AltModifier, modifiers & Qt::ControlModifier);
        --g_dispatchDepth;
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
        ++g_dispatchDepth;
        bool taken =
            TB_DispatchShortcut(m_widget, key, modifiers & Qt::ShiftModifier,
                                modifiers & Qt::AltModifier, modifiers & Qt::ControlModifier);
        --g_dispatchDepth;
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

// ---- drag and drop ----

// RFC 8089 file URIs of operating-system paths, byte for byte: every byte that is not
// unreserved (or a slash) is percent-encoded, so spaces, '#', '%', '?' and names that are
// not UTF-8 arrive as the same files.
QByteArray TB_QtFileUri(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    QByteArray uri("file://");
    for (unsigned char c : path) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            uri.append(static_cast<char>(c));
        } else {
            uri.append('%');
            uri.append(kHex[c >> 4]);
            uri.append(kHex[c & 15]);
        }
    }
    return uri;
}

namespace {

// The paths of the file URIs of a text/uri-list; other schemes and comments are skipped.
std::vector<std::string> FilePaths(const QByteArray& list) {
    std::vector<std::string> paths;
    for (QByteArray line : list.split('\n')) {
        line = line.trimmed();
        if (!line.startsWith("file://")) {
            continue;
        }
        QByteArray rest = line.mid(7);
        int slash = rest.indexOf('/');
        if (slash < 0) {
            continue;
        }
        QByteArray host = rest.left(slash);
        if (!host.isEmpty() && host != "localhost") {
            continue;  // a file on another machine
        }
        QByteArray decoded = QByteArray::fromPercentEncoding(rest.mid(slash));
        paths.emplace_back(decoded.constData(), static_cast<size_t>(decoded.size()));
    }
    return paths;
}

QString ToQString16(const std::vector<tb_byte>& utf16) {
    QString text;
    for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
        auto unit = static_cast<char16_t>(utf16[i] | (utf16[i + 1] << 8));
        if (unit == 0) {
            break;
        }
        text.append(QChar(unit));
    }
    return text;
}

}  // namespace

QMimeData* TB_QtMimeData(TB_DataObject* data) {
    auto* mime = new QMimeData();
    for (const TB_DataObject::Entry& entry : data->Entries()) {
        if (entry.Format == TB_CF_HDROP) {
            QByteArray list;
            QStringList text;
            for (const std::string& path : TB_DropData::FilesOf(entry.Data)) {
                list += TB_QtFileUri(path) + "\r\n";
                // Readable text for text fields; the exact bytes travel in the URI list.
                TB_String shown = TB_DisplayText(
                    TB_TextFromNative(path.data(), static_cast<tb_int64>(path.size())));
                text << ToQString(shown);
            }
            mime->setData(QStringLiteral("text/uri-list"), list);
            if (!data->QueryGetData(TB_CF_UNICODETEXT)) {
                mime->setText(text.join(QLatin1Char('\n')));
            }
        } else if (entry.Format == TB_CF_UNICODETEXT) {
            mime->setText(ToQString16(entry.Data));
        } else {
            std::string type = TB_ClipboardFormatMimeType(entry.Format);
            if (!type.empty()) {
                mime->setData(QString::fromStdString(type),
                              QByteArray(reinterpret_cast<const char*>(entry.Data.data()),
                                         static_cast<qsizetype>(entry.Data.size())));
            }
        }
    }
    return mime;
}

namespace {

// What a drop offers, as the toolkit's data: file lists as file-drop blocks, text as UTF-16,
// the application's formats as their bytes.
TB_Ref<TB_DataObject> FromMimeData(const QMimeData* mime) {
    auto data = TB_Ref<TB_DataObject>::Adopt(new TB_DataObject());
    if (!mime) {
        return data;
    }
    if (mime->hasFormat(QStringLiteral("text/uri-list"))) {
        TB_List<TB_Uri*> uris;
        for (const std::string& path : FilePaths(mime->data(QStringLiteral("text/uri-list")))) {
            uris.Add(new TB_Uri(TB_String(path.c_str(), static_cast<tb_int64>(path.size()))));
        }
        if (uris.Count() > 0) {
            auto files = TB_Ref<TB_DropData>::Adopt(new TB_DropData());
            files->SetFiles(uris);
            data->SetData(TB_CF_HDROP, files->Data);
        }
        TB_ReleaseAll(uris);
    }
    for (const QString& type : mime->formats()) {
        tb_uint format = TB_ClipboardFormatOfMimeType(type.toStdString());
        if (format != 0 && format != TB_CF_HDROP && format != TB_CF_UNICODETEXT) {
            QByteArray bytes = mime->data(type);
            data->SetData(format, std::vector<tb_byte>(bytes.begin(), bytes.end()));
        }
    }
    if (mime->hasFormat(QStringLiteral("text/plain"))) {
        QString text = mime->text();
        std::vector<tb_byte> utf16;
        for (QChar c : text) {
            utf16.push_back(static_cast<tb_byte>(c.unicode() & 0xFF));
            utf16.push_back(static_cast<tb_byte>(c.unicode() >> 8));
        }
        utf16.push_back(0);
        utf16.push_back(0);
        data->SetData(TB_CF_UNICODETEXT, std::move(utf16));
    }
    return data;
}

enum DropKind { kDragEnter, kDragOver, kDrop };

}  // namespace

tb_uint TB_NativeWindow::SendDrop(int kind, QDropEvent* event) {
    TB_NativeWidget* widget = m_widget;
    if (!widget || widget->RefCount() < 1) {
        return 0;
    }
    TB_Ref<TB_NativeWidget> keep(widget);
    TB_Ref<TB_DataObject> data = FromMimeData(event->mimeData());
    TB_DropEventArg arg;
    arg.Data = data.Get();
    tb_uint format = 0;
    data->Reset();
    while (data->Next(format)) {
        arg.Formats.Add(format);
    }
    arg.Effect = static_cast<tb_uint>(event->possibleActions()) & 7u;
    arg.KeyState = KeyState(event->buttons(), event->modifiers());
    if (kind != kDragEnter) {
        QPoint p = event->position().toPoint();
        arg.X = static_cast<float>(p.x());
        arg.Y = static_cast<float>(p.y());
    }
    arg.Accepted = kind == kDragOver;
    ++g_dispatchDepth;
    if (kind == kDragEnter) {
        widget->OnDragEnter(arg);
    } else if (kind == kDragOver) {
        widget->OnDragOver(arg);
    } else {
        widget->OnDrop(arg);
    }
    --g_dispatchDepth;
    tb_uint effect = arg.Effect & static_cast<tb_uint>(event->possibleActions());
    if (kind == kDrop && !arg.Accepted) {
        effect = 0;
    }
    return effect;
}

namespace {

void Answer(QDropEvent* event, tb_uint effect) {
    Qt::DropAction action = (effect & 1)   ? Qt::CopyAction
                            : (effect & 2) ? Qt::MoveAction
                            : (effect & 4) ? Qt::LinkAction
                                           : Qt::IgnoreAction;
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

}  // namespace

void TB_NativeWindow::dragEnterEvent(QDragEnterEvent* event) {
    Answer(event, SendDrop(kDragEnter, event));
}

void TB_NativeWindow::dragMoveEvent(QDragMoveEvent* event) {
    Answer(event, SendDrop(kDragOver, event));
}

void TB_NativeWindow::dragLeaveEvent(QDragLeaveEvent*) {
    if (m_widget && m_widget->RefCount() > 0) {
        TB_Ref<TB_NativeWidget> keep(m_widget);
        m_widget->OnDragLeave();
    }
}

void TB_NativeWindow::dropEvent(QDropEvent* event) {
    Answer(event, SendDrop(kDrop, event));
}

// ---- TB_QtPlatform ----

TB_QtPlatform& TB_GetQtPlatform() {
    static TB_QtPlatform platform;
    return platform;
}

tb_uint64 TB_QtPlatform::Milliseconds() {
    return TB_GetTickCount() - TB_GetStartTick();
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
        Native(window)->grabMouse();
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
        Native(window)->setFocus(Qt::OtherFocusReason);
    }
}

TB_Vector2 TB_QtPlatform::ScreenToClient(TB_WindowHandle window, TB_Vector2 point) {
    if (!window) {
        return point;
    }
    QPoint local =
        Native(window)->mapFromGlobal(QPoint(static_cast<int>(point.x), static_cast<int>(point.y)));
    return TB_Vector2{static_cast<float>(local.x()), static_cast<float>(local.y())};
}

void TB_QtPlatform::SetImeCompositionPosition(TB_WindowHandle window, tb_int, tb_int) {
    if (window) {
        QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
    }
}

void TB_QtPlatform::SetImeOpen(TB_WindowHandle window, bool open) {
    if (window) {
        Native(window)->setAttribute(Qt::WA_InputMethodEnabled, open);
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
    QWidget* parentWidget = parent ? Native(parent) : nullptr;
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
    TB_NativeWindow* native = Native(window);
    if (notify && native->Widget()) {
        native->Send(TB_WM_DESTROY, 0, 0);
    }
    native->Detach();
    native->hide();
    if (g_dispatchDepth > 0) {
        native->deleteLater();  // a handler of this window (or of a child) is still running
    } else {
        delete native;
    }
    CheckLoops();
}

// Window rectangles are client geometry, for top-level windows too: the decorations belong
// to the window manager and are not known until it has framed the window, and bounds that
// included them would grow by their size at every save and restore.
void TB_QtPlatform::SetWindowBounds(TB_WindowHandle window, const TB_Rectangle<int>& bounds) {
    if (window) {
        Native(window)->setGeometry(bounds.x, bounds.y, std::max(0, bounds.width),
                                    std::max(0, bounds.height));
    }
}

void TB_QtPlatform::SetMinimumClientSize(TB_WindowHandle window, tb_int width, tb_int height) {
    if (window) {
        Native(window)->setMinimumSize(std::max(0, width), std::max(0, height));
    }
}

TB_Rectangle<int> TB_QtPlatform::GetWindowBounds(TB_WindowHandle window) {
    if (!window) {
        return {};
    }
    QRect r = Native(window)->geometry();
    return TB_Rectangle<int>{r.x(), r.y(), r.width(), r.height()};
}

TB_Vector2 TB_QtPlatform::GetClientSize(TB_WindowHandle window) {
    if (!window) {
        return {};
    }
    QSize size = Native(window)->size();
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
    TB_NativeWindow* native = Native(window);
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
    return window && Native(window)->isVisible();
}

void TB_QtPlatform::EnableWindow(TB_WindowHandle window, bool enable) {
    if (window) {
        Native(window)->setEnabled(enable);
    }
}

bool TB_QtPlatform::IsWindowEnabled(TB_WindowHandle window) {
    return window && Native(window)->isEnabled();
}

void TB_QtPlatform::SetWindowText(TB_WindowHandle window, const TB_String& text) {
    if (window) {
        Native(window)->setWindowTitle(ToQString(text));
    }
}

void TB_QtPlatform::SetParentWindow(TB_WindowHandle window, TB_WindowHandle parent) {
    if (window) {
        bool visible = Native(window)->isVisibleTo(Native(window)->parentWidget());
        Native(window)->setParent(parent ? Native(parent) : nullptr);
        Native(window)->setVisible(visible || Native(window)->Widget() != nullptr);
    }
}

void TB_QtPlatform::InvalidateRect(TB_WindowHandle window, const TB_Rectangle<int>* area) {
    if (!window) {
        return;
    }
    if (area) {
        Native(window)->update(area->x, area->y, area->width, area->height);
    } else {
        Native(window)->update();
    }
}

void TB_QtPlatform::UpdateWindow(TB_WindowHandle window) {
    if (window && Native(window)->isVisible()) {
        Native(window)->repaint();
    }
}

TB_Vector2 TB_QtPlatform::ClientToScreen(TB_WindowHandle window, TB_Vector2 point) {
    if (!window) {
        return point;
    }
    QPoint global =
        Native(window)->mapToGlobal(QPoint(static_cast<int>(point.x), static_cast<int>(point.y)));
    return TB_Vector2{static_cast<float>(global.x()), static_cast<float>(global.y())};
}

void TB_QtPlatform::SetToolTip(TB_WindowHandle window, const TB_String& text) {
    if (window) {
        Native(window)->setToolTip(ToQString(text));
    }
}

void TB_QtPlatform::SetForegroundWindow(TB_WindowHandle window) {
    if (window) {
        Native(window)->raise();
        Native(window)->activateWindow();
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
        Native(window)->close();
    }
}

void TB_QtPlatform::RunEventLoop(const std::function<bool()>& done) {
    if (done()) {
        return;
    }
    QEventLoop loop;
    g_loops.push_back({&loop, &done});
    loop.exec();
    g_loops.pop_back();
}

bool TB_QtPlatform::PostAction(TB_WindowHandle window, TB_Action* action) {
    if (!window || !QCoreApplication::instance()) {
        return false;
    }
    QCoreApplication::postEvent(Native(window), new PostedActionEvent(action));
    return true;
}

namespace {

// Runs the toolkit's timers as Qt timers of one object on the GUI thread. It is a child of
// the application object, so it goes with it.
class TimerHost : public QObject {
public:
    std::unordered_map<int, tb_uint64> Identifiers;  // Qt timer id -> toolkit identifier
    std::unordered_map<tb_uint64, int> QtIds;

protected:
    void timerEvent(QTimerEvent* event) override {
        auto found = Identifiers.find(event->timerId());
        if (found != Identifiers.end()) {
            TB_UiTimer::Dispatch(found->second);
            CheckLoops();
        }
    }
};

QPointer<TimerHost> g_timerHost;

}  // namespace

tb_uint64 TB_QtPlatform::StartTimer(TB_WindowHandle, tb_uint64 identifier, tb_int interval) {
    if (!QCoreApplication::instance() || identifier == 0) {
        return 0;
    }
    if (!g_timerHost) {
        g_timerHost = new TimerHost();
        g_timerHost->setParent(QCoreApplication::instance());
    }
    StopTimer(identifier);
    int qtId = g_timerHost->startTimer(std::max(interval, 0));
    if (qtId == 0) {
        return 0;
    }
    g_timerHost->Identifiers[qtId] = identifier;
    g_timerHost->QtIds[identifier] = qtId;
    return identifier;
}

void TB_QtPlatform::StopTimer(tb_uint64 identifier) {
    if (!g_timerHost) {
        return;
    }
    auto found = g_timerHost->QtIds.find(identifier);
    if (found != g_timerHost->QtIds.end()) {
        g_timerHost->killTimer(found->second);
        g_timerHost->Identifiers.erase(found->second);
        g_timerHost->QtIds.erase(found);
    }
}

tb_uint TB_QtPlatform::StartDrag(TB_WindowHandle window, TB_DataObject* data, TB_Bitmap32* image,
                                 tb_int offsetX, tb_int offsetY, tb_uint allowedEffects) {
    if (!window || !data || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return 0;
    }
    // Qt deletes the drag itself; on X11 only once the target has fetched the data, which
    // can be after exec() returns.
    auto* drag = new QDrag(Native(window));
    drag->setMimeData(TB_QtMimeData(data));
    if (image && image->Width > 0 && image->Height > 0) {
        QImage picture(image->Width, image->Height, QImage::Format_ARGB32);
        for (int y = 0; y < image->Height; ++y) {
            std::memcpy(picture.scanLine(y), image->PixelAt(0, y),
                        static_cast<size_t>(image->Width) * 4);
        }
        drag->setPixmap(QPixmap::fromImage(picture));
        drag->setHotSpot(QPoint(offsetX, offsetY));
    }
    Qt::DropActions allowed;
    if (allowedEffects & 1) {
        allowed |= Qt::CopyAction;
    }
    if (allowedEffects & 2) {
        allowed |= Qt::MoveAction;
    }
    if (allowedEffects & 4) {
        allowed |= Qt::LinkAction;
    }
    // Modal until the button is released (a drop) or Escape is pressed (a cancel).
    ++g_dispatchDepth;
    Qt::DropAction result = drag->exec(allowed ? allowed : Qt::CopyAction);
    --g_dispatchDepth;
    return static_cast<tb_uint>(result) & 7u;
}

void TB_QtPlatform::SetAcceptDrops(TB_WindowHandle window, bool accept) {
    if (window) {
        Native(window)->setAcceptDrops(accept);
    }
}

// The desktop clipboard, not the X11 primary selection (the text the user last selected).
void TB_QtPlatform::SetClipboardText(const TB_String& text) {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->setText(ToQString(text), QClipboard::Clipboard);
    }
}

TB_String TB_QtPlatform::GetClipboardText() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        return TB_String();
    }
    QString text = clipboard->text(QClipboard::Clipboard);
    return TB_String(reinterpret_cast<const tb_char*>(text.utf16()),
                     static_cast<tb_int>(text.size()));
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

std::vector<TB_Rectangle<int>> TB_QtPlatform::WorkAreas() {
    std::vector<TB_Rectangle<int>> areas;
    QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) {
        screens.removeAll(primary);
        screens.prepend(primary);
    }
    for (QScreen* screen : screens) {
        QRect r = screen->availableGeometry();
        if (!KnowsWindowPlaces() && r == screen->geometry()) {
            // Wayland does not tell panels' room: leave a panel's height, wherever it is.
            r.setHeight(std::max(1, r.height() - kUnknownPanelHeight));
        }
        areas.push_back(TB_Rectangle<int>{r.x(), r.y(), r.width(), r.height()});
    }
    return areas;
}

bool TB_QtPlatform::KnowsWindowPlaces() {
    return !QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

float TB_QtPlatform::WindowSystemScale() {
    // Qt's own scaling is off, so this is the compositor's buffer scale alone.
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? std::max(1.0f, static_cast<float>(screen->devicePixelRatio())) : 1.0f;
}

TB_Vector2 TB_QtPlatform::CursorPosition() {
    QPoint p = QCursor::pos();
    return TB_Vector2{static_cast<float>(p.x()), static_cast<float>(p.y())};
}
