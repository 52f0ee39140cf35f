#pragma once

#include <functional>
#include <mutex>

#include "tb_posttarget.h"

// News from a worker thread for the GUI thread: Announce posts through the target and the
// function runs on the GUI thread. One post stands for all news until the GUI thread has
// taken it. The notifier must outlive the target's window.
class TC_Notifier {
public:
    TC_Notifier() = default;
    TC_Notifier(const TC_Notifier&) = delete;
    TC_Notifier& operator=(const TC_Notifier&) = delete;
    ~TC_Notifier() { Set(nullptr, nullptr); }

    // GUI thread. A null target stops the news.
    void Set(TB_PostTarget* target, std::function<void()> news);
    // Any thread.
    void Announce();

private:
    std::mutex m_lock;
    TB_PostTarget* m_target = nullptr;  // one count held
    std::function<void()> m_news;
    bool m_announced = false;
};
