// The text box's platform control: Qt's line edit inside a toolkit child window. The line
// edit does the editing, caret, selection, clipboard and input-method composition; the
// window around it carries the toolkit widget, so focus, key and change notifications reach
// the widget as the messages of its own window.
#include <QApplication>
#include <QFont>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QResizeEvent>

#include <algorithm>
#include <limits>

#include "platform/tb_native_window.h"
#include "platform/tb_qt_platform.h"
#include "tb_font.h"
#include "tb_message.h"
#include "tb_nativewidget.h"

namespace {

class LineEdit;

// The toolkit window that holds the line edit and keeps it covering its whole area.
class LineEditHost : public TB_NativeWindow {
public:
    LineEditHost(TB_NativeWidget* widget, QWidget* parent)
        : TB_NativeWindow(widget, parent, Qt::Widget) {}
    ~LineEditHost() override;

    LineEdit* Edit = nullptr;

    // One update notification to the widget, as the control's change report.
    void NotifyUpdate() {
        if (TB_NativeWidget* widget = Widget()) {
            unsigned long long id = static_cast<unsigned>(widget->ControlId) & 0xFFFFu;
            Send(TB_WM_COMMAND, (static_cast<unsigned long long>(TB_EN_UPDATE) << 16) | id,
                 reinterpret_cast<long long>(this));
        }
    }

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The edit's frame has rounded corners; past them shows the ground the box stands on.
    void paintEvent(QPaintEvent* event) override;
};

class LineEdit : public QLineEdit {
public:
    explicit LineEdit(LineEditHost* host) : QLineEdit(host), m_host(host) {}
    // The host is going: Qt still moves the focus away from this child while it dies.
    void DetachHost() { m_host = nullptr; }

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            // Tab never reaches the line edit: the toolkit moves the focus itself.
            if (!m_host || !m_host->PreviewControlKey(key)) {
                QLineEdit::event(event);
            }
            // Keys the line edit leaves (Return, Escape) would travel on to the window
            // around it and reach the widget a second time.
            event->accept();
            return true;
        }
        if (event->type() == QEvent::KeyRelease) {
            QLineEdit::event(event);
            event->accept();
            return true;
        }
        return QLineEdit::event(event);
    }
    void focusInEvent(QFocusEvent* event) override {
        QLineEdit::focusInEvent(event);
        if (m_host) {
            m_host->Send(TB_WM_SETFOCUS, 0, 0);
        }
    }
    void focusOutEvent(QFocusEvent* event) override {
        QLineEdit::focusOutEvent(event);
        TB_NativeWindow::SetComposing(false);
        if (m_host) {
            m_host->Send(TB_WM_KILLFOCUS, 0, 0);
        }
    }
    void inputMethodEvent(QInputMethodEvent* event) override {
        TB_NativeWindow::SetComposing(!event->preeditString().isEmpty());
        QLineEdit::inputMethodEvent(event);
    }

private:
    LineEditHost* m_host;
};

LineEditHost::~LineEditHost() {
    if (Edit) {
        Edit->DetachHost();
    }
}

void LineEditHost::resizeEvent(QResizeEvent* event) {
    if (Edit) {
        Edit->setGeometry(rect());
    }
    TB_NativeWindow::resizeEvent(event);
}

LineEdit* EditOf(TB_WindowHandle window) {
    auto* host = dynamic_cast<LineEditHost*>(static_cast<QWidget*>(window));
    return host ? host->Edit : nullptr;
}

QString ToQString(const TB_String& text) {
    return QString::fromUtf16(text.Chars() ? text.Chars() : u"", text.Length());
}

QColor ToQColor(const TB_Color& color) {
    auto byte = [](float value) { return static_cast<int>(std::clamp(value, 0.0f, 1.0f) * 255); };
    return QColor(byte(color.r), byte(color.g), byte(color.b), byte(color.a));
}

void LineEditHost::paintEvent(QPaintEvent*) {
    TB_NativeWidget* widget = Widget();
    TB_Widget* under = widget && widget->Parent ? widget->Parent : widget;
    if (under) {
        QPainter(this).fillRect(rect(), ToQColor(under->GetBackgroundColor()));
    }
}

}  // namespace

TB_WindowHandle TB_QtPlatform::CreateLineEdit(TB_NativeWidget* widget, TB_WindowHandle parent,
                                              const TB_Rectangle<int>& bounds,
                                              const TB_String& text, bool password, bool readOnly,
                                              bool visible) {
    // A child control needs its owner window, as the platform's own edit control does.
    if (!widget || !parent || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return nullptr;
    }
    auto* host = new LineEditHost(widget, static_cast<QWidget*>(parent));
    auto* edit = new LineEdit(host);
    host->Edit = edit;
    host->setFocusProxy(edit);
    edit->setEchoMode(password ? QLineEdit::Password : QLineEdit::Normal);
    edit->setReadOnly(readOnly);
    // Qt's default limit would cut texts set by the program at 32767 characters.
    edit->setMaxLength(std::numeric_limits<int>::max());
    edit->setText(ToQString(text));
    // Screen readers name the field as the widget names itself; its text is the value.
    edit->setAccessibleName(
        ToQString(widget->AccessibleName.IsEmpty() ? widget->ToolTipText : widget->AccessibleName));
    QObject::connect(edit, &QLineEdit::textChanged, host, [host] { host->NotifyUpdate(); });
    host->setGeometry(bounds.x, bounds.y, std::max(0, bounds.width), std::max(0, bounds.height));
    edit->setGeometry(host->rect());
    host->Send(TB_WM_CREATE, 0, 0);
    if (visible) {
        host->show();
    }
    return host;
}

void TB_QtPlatform::SetLineEditText(TB_WindowHandle window, const TB_String& text) {
    LineEdit* edit = EditOf(window);
    if (!edit) {
        return;
    }
    QString value = ToQString(text);
    if (edit->text() == value) {
        // The line edit reports no change for the same text; the toolkit promises one.
        static_cast<LineEditHost*>(edit->parentWidget())->NotifyUpdate();
        return;
    }
    edit->setText(value);
}

TB_String TB_QtPlatform::GetLineEditText(TB_WindowHandle window) {
    LineEdit* edit = EditOf(window);
    if (!edit) {
        return TB_String();
    }
    QString text = edit->text();
    return TB_String(reinterpret_cast<const tb_char*>(text.utf16()),
                     static_cast<tb_int>(text.size()));
}

void TB_QtPlatform::LineEditCommand(TB_WindowHandle window, EditCommand command) {
    LineEdit* edit = EditOf(window);
    if (!edit) {
        return;
    }
    // The line edit's own slots change a read-only text; its keys would not.
    bool readOnly = edit->isReadOnly();
    switch (command) {
        case EditCommand::Cut:
            readOnly ? edit->copy() : edit->cut();
            break;
        case EditCommand::Copy:
            edit->copy();
            break;
        case EditCommand::Paste:
            if (!readOnly) {
                edit->paste();
            }
            break;
        case EditCommand::SelectAll:
            edit->selectAll();
            break;
    }
}

void TB_QtPlatform::SetLineEditColors(TB_WindowHandle window, const TB_Color& background,
                                      const TB_Color& text) {
    LineEdit* edit = EditOf(window);
    if (!edit) {
        return;
    }
    QPalette palette = edit->palette();
    for (QPalette::ColorRole role : {QPalette::Base, QPalette::Window}) {
        palette.setColor(role, ToQColor(background));
    }
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText}) {
        palette.setColor(role, ToQColor(text));
    }
    edit->setPalette(palette);
}

void TB_QtPlatform::SetLineEditFont(TB_WindowHandle window, TB_HFONT_Object* font) {
    LineEdit* edit = EditOf(window);
    if (edit && font && font->NativeFont()) {
        edit->setFont(*static_cast<QFont*>(font->NativeFont()));
    }
}
