#include "lv_shutdownrequests.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "tb_action.h"
#include "tb_messageloop.h"

namespace {

sigset_t Signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    sigaddset(&set, SIGUSR2);  // ends the waiting thread
    return set;
}

}  // namespace

void LV_ShutdownRequests::BlockSignals() {
    sigset_t set = Signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

LV_ShutdownRequests::LV_ShutdownRequests() {
    m_started = pthread_create(&m_thread, nullptr, &LV_ShutdownRequests::Wait, this) == 0;
}

LV_ShutdownRequests::~LV_ShutdownRequests() {
    if (m_started) {
        pthread_kill(m_thread, SIGUSR2);
        pthread_join(m_thread, nullptr);
    }
    if (m_target) {
        m_target->Release();
    }
}

void LV_ShutdownRequests::Watch(TB_Frame* frame) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_target) {
        m_target->Release();
        m_target = nullptr;
    }
    m_frame = frame;
    if (!frame) {
        return;
    }
    m_target = frame->GetPostTarget();
    m_target->AddRef();
    // A request made before the window existed was dropped by the target; honour it now.
    frame->Shown.Add([this](TB_EventArg&) {
        if (m_requested.load()) {
            std::lock_guard<std::mutex> inner(m_lock);
            PostClose();
        }
    });
    if (frame->Window && m_requested.load()) {
        PostClose();
    }
}

void LV_ShutdownRequests::PostClose() {
    if (!m_target) {
        return;
    }
    // Delivered only to the frame's own window, so the frame is alive when the action runs.
    TB_Frame* frame = m_frame;
    TB_PostAction(m_target, new TB_Action([frame](TB_EventArg&) {
                      if (frame->Window) {
                          TB_GetPlatform().RequestClose(frame->Window);
                      }
                  }));
}

void LV_ShutdownRequests::OnSignal(int signal) {
    if (m_requested.exchange(true) && (signal == SIGINT || signal == SIGTERM)) {
        static const char kMessage[] = "LumoVox: second signal during shutdown, ending now\n";
        ssize_t written = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
        (void)written;
        _exit(128 + signal);
    }
    char message[64];
    int length = std::snprintf(message, sizeof message, "LumoVox: closing on signal %d\n", signal);
    ssize_t written = write(STDERR_FILENO, message, static_cast<size_t>(length));
    (void)written;
    std::lock_guard<std::mutex> guard(m_lock);
    PostClose();
}

void* LV_ShutdownRequests::Wait(void* self) {
    auto* requests = static_cast<LV_ShutdownRequests*>(self);
    sigset_t set = Signals();
    int signal = 0;
    while (sigwait(&set, &signal) == 0 && signal != SIGUSR2) {
        requests->OnSignal(signal);
    }
    return nullptr;
}
