#include "platform/tb_qt_filewatch.h"

#include <QFileInfo>
#include <QSet>

#include "platform/tb_qt_platform.h"

TB_QtFileWatch::TB_QtFileWatch(std::function<void(const std::string&)> changed)
    : m_changed(std::move(changed)) {
    auto notify = [this](const QString& path) {
        if (m_changed) {
            m_changed(path.toStdString());
        }
    };
    QObject::connect(&m_watcher, &QFileSystemWatcher::directoryChanged, notify);
    QObject::connect(&m_watcher, &QFileSystemWatcher::fileChanged, notify);
}

void TB_QtFileWatch::SetPaths(const std::vector<std::string>& paths) {
    QSet<QString> wanted;
    for (const std::string& path : paths) {
        wanted.insert(QString::fromStdString(path));
    }
    QStringList gone;
    for (const QString& path : m_watcher.files() + m_watcher.directories()) {
        if (!wanted.contains(path)) {
            gone.append(path);
        }
    }
    if (!gone.isEmpty()) {
        m_watcher.removePaths(gone);
    }
    // A file renamed over (how editors save) or a folder moved away drops out of the watch:
    // whatever stands under the name now is watched again.
    QStringList added;
    const QStringList watchedList = m_watcher.files() + m_watcher.directories();
    QSet<QString> watched(watchedList.begin(), watchedList.end());
    for (const QString& path : wanted) {
        if (!watched.contains(path) && QFileInfo::exists(path)) {
            added.append(path);
        }
    }
    if (!added.isEmpty()) {
        m_watcher.addPaths(added);  // an unreadable or looping path is refused, not fatal
    }
}

std::unique_ptr<TB_FileWatch> TB_QtPlatform::CreateFileWatch(
    std::function<void(const std::string&)> changed) {
    return std::make_unique<TB_QtFileWatch>(std::move(changed));
}
