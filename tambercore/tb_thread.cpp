#include "tb_thread.h"

#include <functional>
#include <system_error>

TB_Thread::TB_Thread() : m_args(new TB_ThreadArgs()) {}

TB_Thread::~TB_Thread() {
    if (m_thread.joinable()) {
        if (m_thread.get_id() == std::this_thread::get_id()) {
            m_thread.detach();
        } else {
            m_thread.join();
        }
    }
    m_args->Release();
}

bool TB_Thread::Start() {
    if (m_started) {
        return false;  // a thread object is started at most once
    }
    m_started = true;
    m_args->Data = nullptr;
    m_args->Result = 0;
    m_running = true;
    try {
        m_thread = std::thread(&TB_Thread::Procedure, this);
    } catch (const std::system_error&) {
        m_running = false;
        return false;
    }
    m_threadId = static_cast<tb_uint>(std::hash<std::thread::id>{}(m_thread.get_id()));
    return true;
}

void TB_Thread::Join() {
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) {
        m_thread.join();
    }
}

void TB_Thread::Run() {
    if (Entry) {
        Entry(m_args);
    }
}

void TB_Thread::Procedure() {
    Run();
    m_exitResult = m_args->Result;
    m_running = false;
}
