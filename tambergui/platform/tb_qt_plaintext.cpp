#include <QKeyEvent>
#include <QPalette>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "platform/tb_native_window.h"
#include "platform/tb_qt_platform.h"
#include "tb_color.h"
#include "tb_font.h"

namespace {

// Qt breaks lines at LF; a CR left in would show as a box at every line end.
QString ToPlainText(const TB_String& text) {
    QString result = QString::fromUtf16(text.Chars() ? text.Chars() : u"", text.Length());
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

QColor ToQColor(const TB_Color& color) {
    return QColor::fromRgbF(color.r, color.g, color.b, color.a);
}

// Keys the view does not use would climb to the toolkit's window and reach the widget as key
// events; the view is the platform's own control and keeps its input to itself.
class TextView : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        // A text to read has no use for Escape and Enter: they go on to the window, whose
        // dialog closes with them.
        int key = event->key();
        if (isReadOnly() &&
            (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter)) {
            event->ignore();
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
        event->accept();
    }
    void keyReleaseEvent(QKeyEvent* event) override {
        QPlainTextEdit::keyReleaseEvent(event);
        event->accept();
    }
};

QPlainTextEdit* ViewOf(TB_WindowHandle window) {
    return window ? window->findChild<QPlainTextEdit*>(QString(), Qt::FindDirectChildrenOnly)
                  : nullptr;
}

}  // namespace

bool TB_QtPlatform::CreateTextView(TB_WindowHandle window, const TB_String& text, TB_Font* font,
                                   const TB_Color& background, const TB_Color& foreground) {
    if (!window) {
        return false;
    }
    QPlainTextEdit* view = ViewOf(window);
    if (!view) {
        view = new TextView(window);
        // The layout keeps the view filling the window as the toolkit resizes it.
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(view);
    }
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    view->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Read-only views drop keyboard selection by default; copying with the keys needs it.
    view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    view->setFrameShape(QFrame::Box);
    if (font && font->PlatformFont()) {
        view->setFont(*static_cast<QFont*>(font->PlatformFont()));
    }
    QPalette palette = view->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, ToQColor(background));
        palette.setColor(group, QPalette::Window, ToQColor(background));
        palette.setColor(group, QPalette::Text, ToQColor(foreground));
    }
    view->setPalette(palette);
    view->setPlainText(ToPlainText(text));
    view->show();
    return true;
}

void TB_QtPlatform::SetTextViewText(TB_WindowHandle window, const TB_String& text) {
    if (QPlainTextEdit* view = ViewOf(window)) {
        view->setPlainText(ToPlainText(text));
    }
}
