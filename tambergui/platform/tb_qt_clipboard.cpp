#include "platform/tb_qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

#include "platform/tb_qt_platform.h"

void TB_QtSetClipboardText(const TB_String& text) {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->setText(QString::fromUtf16(text.Chars() ? text.Chars() : u"", text.Length()),
                           QClipboard::Clipboard);
    }
}

TB_String TB_QtClipboardText() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        return TB_String();
    }
    QString text = clipboard->text(QClipboard::Clipboard);
    return TB_String(reinterpret_cast<const tb_char*>(text.utf16()),
                     static_cast<tb_int>(text.size()));
}

void TB_QtPlatform::SetClipboardText(const TB_String& text) {
    TB_QtSetClipboardText(text);
}

TB_String TB_QtPlatform::GetClipboardText() {
    return TB_QtClipboardText();
}
