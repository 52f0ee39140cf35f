#include <QApplication>
#include <QFileDialog>
#include <QPointer>
#include <QScreen>

#include "platform/tb_native_window.h"
#include "platform/tb_qt_dialoglook.h"
#include "tb_folderdialog.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"

namespace {

QString ToQString(const TB_String& text) {
    return QString::fromUtf16(text.Chars() ? text.Chars() : u"", text.Length());
}

}  // namespace

tb_int TB_ShowPlatformFolderDialog(TB_WindowHandle owner, const TB_String& initialPath,
                                   const TB_String& title, TB_String& chosen) {
    if (!TB_GraphicsStarted() || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return 0;
    }
    // On the heap and watched, like the message box: the owner may die while it is open.
    QPointer<QFileDialog> dialog =
        new QFileDialog(static_cast<QWidget*>(owner), ToQString(title), ToQString(initialPath));
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    // Qt's own picker rather than the desktop's, so that it wears the program's style.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    // The program's words where Qt's translations are not installed.
    dialog->setLabelText(QFileDialog::LookIn, QStringLiteral("場所:"));
    dialog->setLabelText(QFileDialog::FileName, QStringLiteral("フォルダー:"));
    dialog->setLabelText(QFileDialog::FileType, QStringLiteral("種類:"));
    dialog->setLabelText(QFileDialog::Accept, QStringLiteral("選択"));
    dialog->setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
    TB_DressDialog(dialog);
    // Qt sizes the picker for 100 %; at a larger GUI size its lists would show a few rows.
    float scale = TB_GetGlobalStyle().Scale;
    if (scale > 1.0f) {
        QSize size = dialog->sizeHint() * scale;
        if (QScreen* screen = dialog->screen()) {
            size = size.boundedTo(screen->availableGeometry().size() * 0.9);
        }
        dialog->resize(size);
    }
    int answer = dialog->exec();
    tb_int result = 0;
    if (dialog && answer == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
        QString path = dialog->selectedFiles().first();
        chosen = TB_String(reinterpret_cast<const tb_char*>(path.utf16()),
                           static_cast<tb_int>(path.size()));
        result = 1;
    }
    if (dialog) {
        delete dialog.data();
    }
    return result;
}
