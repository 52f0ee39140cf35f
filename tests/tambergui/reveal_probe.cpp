// Two halves of the file-manager test, each run on a private session bus:
//   serve              a stand-in file manager that prints each ShowItems call and quits
//   reveal PATH [wait] shows PATH through the toolkit (after the stand-in is on the bus when
//                      "wait" is given) and prints what happened; a fallback to the desktop's
//                      default handler prints the URL it was given.
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QDesktopServices>
#include <QObject>
#include <QUrl>

#include <cstdio>

#include "tb_filemanager.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.FileManager1");

class FileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public slots:
    void ShowItems(const QStringList& uris, const QString& startupId) {
        for (const QString& uri : uris) {
            std::printf("ShowItems %s\n", uri.toUtf8().constData());
        }
        std::printf("startup id '%s'\n", startupId.toUtf8().constData());
        std::fflush(stdout);
        QCoreApplication::quit();
    }
};

class UrlCatcher : public QObject {
    Q_OBJECT

public slots:
    void Open(const QUrl& url) {
        std::printf("fallback %s\n", url.toEncoded().constData());
        std::fflush(stdout);
    }
};

void Reveal(const char* path) {
    TB_ShowInFileManager(path, [](TB_RevealResult result) {
        std::printf("done %s\n", result == TB_RevealResult::Service  ? "service"
                                 : result == TB_RevealResult::Folder ? "fallback"
                                                                     : "failed");
        std::fflush(stdout);
        QCoreApplication::quit();
    });
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (argc >= 2 && std::string(argv[1]) == "serve") {
        FileManager manager;
        if (!bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                QDBusConnection::ExportAllSlots) ||
            !bus.registerService(kService)) {
            return 2;
        }
        return application.exec();
    }
    if (argc < 3 || std::string(argv[1]) != "reveal") {
        return 2;
    }
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "Open");
    const char* path = argv[2];
    QDBusServiceWatcher watcher(kService, bus, QDBusServiceWatcher::WatchForRegistration);
    if (argc >= 4 && !bus.interface()->isServiceRegistered(kService)) {
        QObject::connect(&watcher, &QDBusServiceWatcher::serviceRegistered,
                         [path] { Reveal(path); });
    } else {
        Reveal(path);
    }
    int result = application.exec();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    return result;
}

#include "reveal_probe.moc"
