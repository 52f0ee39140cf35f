#include "tc_notifier.h"

#include "tb_action.h"

void TC_Notifier::Set(TB_PostTarget* target, std::function<void()> news) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (target) {
        target->AddRef();
    }
    if (m_target) {
        m_target->Release();
    }
    m_target = target;
    m_news = std::move(news);
    m_announced = false;
}

void TC_Notifier::Announce() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_target || m_announced) {
        return;
    }
    m_announced = true;
    bool posted = m_target->Post(new TB_Action([this](TB_EventArg&) {
        std::function<void()> news;
        {
            std::lock_guard<std::mutex> inner(m_lock);
            m_announced = false;
            news = m_news;
        }
        if (news) {
            news();
        }
    }));
    if (!posted) {
        m_announced = false;  // no window yet: the next news tries again
    }
}
