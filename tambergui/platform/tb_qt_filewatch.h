#pragma once

#include <QFileSystemWatcher>

#include "tb_platform.h"

// Qt's watcher (inotify on Linux) behind TB_FileWatch: its news arrives on the GUI thread
// through the event loop, where the program decides what to read again.
class TB_QtFileWatch : public TB_FileWatch {
public:
    explicit TB_QtFileWatch(std::function<void(const std::string&)> changed);
    void SetPaths(const std::vector<std::string>& paths) override;

private:
    QFileSystemWatcher m_watcher;
    std::function<void(const std::string&)> m_changed;
};
