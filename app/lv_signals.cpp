#include "lv_signals.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tb_action.h"
#include "tb_error.h"
#include "tb_messageloop.h"
#include "tb_uidump.h"

namespace {

const char* DumpPath() {
    const char* path = std::getenv("LUMOVOX_UI_DUMP");
    return path && *path ? path : nullptr;
}

sigset_t Signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    // Taken and ignored: it once woke this thread, and a stray one must cost nothing.
    sigaddset(&set, SIGUSR2);
    if (DumpPath()) {
        sigaddset(&set, SIGUSR1);
    }
    return set;
}

// Says something on standard error unless that would block (a full pipe nobody reads): the
// thread must stay free to take the next signal whatever happens to the output.
void Notice(const char* text, size_t length) {
    pollfd out{STDERR_FILENO, POLLOUT, 0};
    if (poll(&out, 1, 0) == 1 && (out.revents & POLLOUT) != 0) {
        ssize_t written = write(STDERR_FILENO, text, length);
        (void)written;
    }
}

}  // namespace

void LV_Signals::BlockSignals() {
    sigset_t set = Signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

LV_Signals::LV_Signals() {
    if (const char* path = DumpPath()) {
        m_dumpPath = path;
    }
    sigset_t set = Signals();
    m_signals = signalfd(-1, &set, SFD_CLOEXEC);
    // The thread is woken to end through a channel of its own: a signal anybody can send
    // must not be able to end the shutdown handling.
    m_wake = eventfd(0, EFD_CLOEXEC);
    m_started = m_signals >= 0 && m_wake >= 0 &&
                pthread_create(&m_thread, nullptr, &LV_Signals::Wait, this) == 0;
}

LV_Signals::~LV_Signals() {
    if (m_started) {
        uint64_t one = 1;
        ssize_t written = write(m_wake, &one, sizeof one);
        (void)written;
        pthread_join(m_thread, nullptr);
    }
    for (int fd : {m_signals, m_wake}) {
        if (fd >= 0) {
            close(fd);
        }
    }
    if (m_target) {
        m_target->Release();
    }
}

void LV_Signals::Watch(TB_Frame* frame) {
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

void LV_Signals::PostClose() {
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

void LV_Signals::PostDump() {
    if (!m_target) {
        return;
    }
    std::string path = m_dumpPath;
    TB_PostAction(m_target, new TB_Action([path](TB_EventArg&) {
                      bool written = TB_WriteUiDump(TB_Uri(TB_String(path.c_str())));
                      TB_DebugPrint(written ? u"UI dump written to %s" : u"UI dump failed: %s",
                                    path.c_str());
                  }));
}

void LV_Signals::OnSignal(int signal) {
    if (signal != SIGTERM && signal != SIGINT && signal != SIGHUP && signal != SIGUSR1) {
        return;
    }
    if (signal == SIGUSR1) {
        std::lock_guard<std::mutex> guard(m_lock);
        PostDump();
        return;
    }
    if (m_requested.exchange(true) && (signal == SIGINT || signal == SIGTERM)) {
        static const char kMessage[] = "LumoVox: second signal during shutdown, ending now\n";
        Notice(kMessage, sizeof kMessage - 1);
        _exit(128 + signal);
    }
    char message[64];
    int length = std::snprintf(message, sizeof message, "LumoVox: closing on signal %d\n", signal);
    Notice(message, static_cast<size_t>(length));
    std::lock_guard<std::mutex> guard(m_lock);
    PostClose();
}

void* LV_Signals::Wait(void* self) {
    auto* requests = static_cast<LV_Signals*>(self);
    pollfd waits[2] = {{requests->m_signals, POLLIN, 0}, {requests->m_wake, POLLIN, 0}};
    for (;;) {
        if (poll(waits, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return nullptr;
        }
        if (waits[1].revents != 0) {
            return nullptr;
        }
        signalfd_siginfo info;
        if (read(requests->m_signals, &info, sizeof info) == sizeof info) {
            requests->OnSignal(static_cast<int>(info.ssi_signo));
        }
    }
}
