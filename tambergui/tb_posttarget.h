#pragma once

#include <atomic>
#include <mutex>

#include "tb_platform.h"

class TB_Action;

// Where other threads post actions for one widget's window. Unlike widgets it is counted
// atomically and outlives its widget as long as someone holds it, so a thread that keeps one
// can post at any moment: while the window exists the action goes to the GUI thread; before
// it exists and after it is gone the action is released unrun.
class TB_PostTarget {
public:
    TB_PostTarget() = default;
    TB_PostTarget(const TB_PostTarget&) = delete;
    TB_PostTarget& operator=(const TB_PostTarget&) = delete;

    void AddRef() { m_refCount.fetch_add(1, std::memory_order_relaxed); }
    void Release() {
        if (m_refCount.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            delete this;
        }
    }

    // Any thread. Takes over the caller's count of the action; false when it was dropped.
    bool Post(TB_Action* action);
    // GUI thread: the widget's window was made, or is about to be destroyed. Detach must come
    // before the platform window is freed, so no post can reach freed memory.
    void Attach(TB_WindowHandle window);
    void Detach() { Attach(nullptr); }

private:
    ~TB_PostTarget() = default;

    std::atomic<int> m_refCount{1};
    std::mutex m_lock;
    TB_WindowHandle m_window = nullptr;
};
