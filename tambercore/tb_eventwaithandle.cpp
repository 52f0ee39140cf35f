#include "tb_eventwaithandle.h"

#include <chrono>

void TB_EventAutoReset::Reset() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_signaled = false;
}

void TB_EventAutoReset::Set() {
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_signaled = true;
    }
    m_condition.notify_one();
}

bool TB_EventAutoReset::Wait(tb_int milliseconds) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (milliseconds > 0) {
        if (!m_condition.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                  [this] { return m_signaled; })) {
            return true;
        }
    } else {
        m_condition.wait(lock, [this] { return m_signaled; });
    }
    m_signaled = false;
    return false;
}
