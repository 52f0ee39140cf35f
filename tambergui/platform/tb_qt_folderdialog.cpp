#include <QApplication>
#include <QFileDialog>
#include <QPointer>

#include "platform/tb_native_window.h"
#include "tb_folderdialog.h"
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
