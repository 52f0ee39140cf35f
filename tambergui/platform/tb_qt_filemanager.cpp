#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QTimer>
#include <QUrl>

#include "tb_filemanager.h"
#include "tb_qt_platform.h"

namespace {

// Long enough for a file manager that D-Bus has to start first.
constexpr int kServiceTimeoutMs = 5000;

TB_RevealResult OpenFolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
    return QDesktopServices::openUrl(QUrl::fromEncoded(TB_QtFileUri(folder)))
               ? TB_RevealResult::Folder
               : TB_RevealResult::Failed;
}

}  // namespace

bool TB_ShowInFileManager(const std::string& path, std::function<void(TB_RevealResult)> done) {
    if (path.empty() || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        TB_RevealResult result = OpenFolderOf(path);
        if (done) {
            // Later, as with the service: the caller's handler never runs inside the call.
            QTimer::singleShot(0, qApp, [result, done = std::move(done)] { done(result); });
        }
        return true;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QString::fromLatin1(TB_QtFileUri(path))} << QString();
    // Asynchronous: a file manager that is slow to start must not freeze the window.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kServiceTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished,
                     [path, done = std::move(done)](QDBusPendingCallWatcher* finished) {
                         TB_RevealResult result =
                             finished->isError() ? OpenFolderOf(path) : TB_RevealResult::Service;
                         finished->deleteLater();
                         if (done) {
                             done(result);
                         }
                     });
    return true;
}

bool TB_OpenUrl(const std::string& url) {
    if (url.empty() || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return false;
    }
    return QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(url)));
}

bool TB_OpenFile(const std::string& path, const std::string& fragment) {
    if (path.empty()) {
        return false;
    }
    std::string url = TB_QtFileUri(path).toStdString();
    return TB_OpenUrl(fragment.empty() ? url : url + "#" + fragment);
}
