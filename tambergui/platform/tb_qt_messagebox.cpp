#include <QApplication>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QWidget>

#include <cstdio>

#include "platform/tb_native_window.h"
#include "platform/tb_qt_dialoglook.h"
#include "tb_consolewriter.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tb_messagebox.h"

namespace {

TB_MessageBoxHook g_hook;
std::vector<TB_OpenMessageBox> g_open;  // GUI thread only, as the boxes

QString ToQString(const TB_String& text) {
    return QString::fromUtf16(text.Chars() ? text.Chars() : u"", text.Length());
}

tb_int Fallback(const TB_String& text, const TB_String& title, tb_uint style) {
    std::fprintf(stderr, "%s: %s\n", title.ToStdString().c_str(), text.ToStdString().c_str());
    return (style & 0x0F) == TB_MB_YESNO ? TB_IDNO : TB_IDOK;
}

}  // namespace

std::vector<TB_OpenMessageBox> TB_OpenMessageBoxes() {
    return g_open;
}

void TB_SetMessageBoxHook(TB_MessageBoxHook hook) {
    g_hook = std::move(hook);
}

tb_int TB_ShowPlatformMessageBox(TB_WindowHandle owner, const TB_String& text,
                                 const TB_String& title, tb_uint style) {
    if (TB_ConsoleWriter* console = TB_ConsoleWriter::Shared()) {
        console->SetColor(11);
        console->WriteLine(u"MessageBox : %T : %T", &title, &text);
        console->ResetColor();
        // Out before the wait for an answer, not when the buffer happens to fill: a log read
        // while the box is open (or cut short by a kill) must show the question.
        std::fflush(stdout);
    }
    if (g_hook) {
        return g_hook(owner, text, title, style);
    }
    if (!TB_GraphicsStarted() || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return Fallback(text, title, style);
    }
    // On the heap and watched: if the owner dies during exec() (a close by signal while the
    // box is open), Qt deletes the box with it, and a box on the stack would die twice.
    QPointer<QMessageBox> box = new QMessageBox(static_cast<QWidget*>(owner));
    box->setWindowTitle(ToQString(title));
    box->setText(ToQString(text));
    TB_DressDialog(box);
    QStyle::StandardPixmap icon = QStyle::SP_CustomBase;
    switch (style & 0xF0) {
        case TB_MB_ICONERROR:
            icon = QStyle::SP_MessageBoxCritical;
            break;
        case TB_MB_ICONQUESTION:
            icon = QStyle::SP_MessageBoxQuestion;
            break;
        case TB_MB_ICONWARNING:
            icon = QStyle::SP_MessageBoxWarning;
            break;
        default:
            break;
    }
    // The stock icon is drawn for 100 %; at a larger GUI size it is asked for at that size.
    if (icon != QStyle::SP_CustomBase) {
        int side = TB_DialogIconSize();
        QPixmap pixmap = box->style()->standardIcon(icon, nullptr, box).pixmap(side);
        if (pixmap.width() < side) {  // an icon theme may offer nothing that large
            pixmap = pixmap.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        }
        box->setIconPixmap(pixmap);
    }
    // Qt caps the text's width in pixels as at 100 %; at 200 % a question would wrap every
    // few words.
    if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        label->setMinimumWidth(static_cast<int>(360 * TB_GetGlobalStyle().Scale));
    }
    bool question = (style & 0x0F) == TB_MB_YESNO;
    TB_OpenMessageBox shown{title, text, {}};
    // The program's own words on the buttons, whatever translations Qt has.
    // Alt with the English initial still answers, as the stock buttons' mnemonics did.
    auto button = [&](QMessageBox::StandardButton which, const char16_t* caption, const char* key) {
        QPushButton* made = box->addButton(which);
        made->setText(QString::fromUtf16(caption));
        // The program's buttons carry no icons, and Fusion's are drawn for 100 % only.
        made->setIcon(QIcon());
        const TB_GlobalStyle& look = TB_GetGlobalStyle();
        made->setMinimumSize(static_cast<int>(look.ButtonWidth),
                             static_cast<int>(look.ButtonHeight));
        if (key) {
            made->setShortcut(QKeySequence(QString::fromLatin1(key)));
        }
        shown.Buttons.push_back(TB_String(caption));
    };
    if (question) {
        button(QMessageBox::Yes, u"はい", "Alt+Y");
        button(QMessageBox::No, u"いいえ", "Alt+N");
        box->setDefaultButton((style & TB_MB_DEFBUTTON2) ? QMessageBox::No : QMessageBox::Yes);
    } else {
        button(QMessageBox::Ok, u"OK", nullptr);
    }
    g_open.push_back(shown);
    int answer = box->exec();
    g_open.pop_back();  // boxes nest: the last one opened is the one that returned
    if (box) {
        delete box.data();
    }
    if (question) {
        return answer == QMessageBox::Yes ? TB_IDYES : TB_IDNO;
    }
    return TB_IDOK;
}
