#include "lv_shutdownrequests.h"

#include <csignal>

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

LV_ShutdownRequests::LV_ShutdownRequests(TB_Frame* frame) : m_frame(frame) {
    m_started = pthread_create(&m_thread, nullptr, &LV_ShutdownRequests::Wait, this) == 0;
}

LV_ShutdownRequests::~LV_ShutdownRequests() {
    if (m_started) {
        pthread_kill(m_thread, SIGUSR2);
        pthread_join(m_thread, nullptr);
    }
}

void* LV_ShutdownRequests::Wait(void* self) {
    auto* requests = static_cast<LV_ShutdownRequests*>(self);
    sigset_t set = Signals();
    int signal = 0;
    while (sigwait(&set, &signal) == 0 && signal != SIGUSR2) {
        TB_Frame* frame = requests->m_frame;
        TB_PostAction(frame, new TB_Action([frame](TB_EventArg&) {
                          if (frame->Window) {
                              TB_GetPlatform().RequestClose(frame->Window);
                          }
                      }));
    }
    return nullptr;
}
