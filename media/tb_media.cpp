#include "tb_media.h"

#include <gst/gst.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

enum class State { NotStarted, Starting, Started, Finished };

std::mutex g_lock;
std::condition_variable g_ready;
State g_state = State::NotStarted;

}  // namespace

void TB_MediaStartInBackground() {
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_state != State::NotStarted) {
        return;
    }
    g_state = State::Starting;
    // Detached: whoever needs the platform (or shuts it down) waits for the state instead.
    std::thread([] {
        gst_init(nullptr, nullptr);
        std::lock_guard<std::mutex> done(g_lock);
        g_state = State::Started;
        g_ready.notify_all();
    }).detach();
}

void TB_MediaStartup() {
    std::unique_lock<std::mutex> lock(g_lock);
    // GStreamer cannot be started again once it was shut down. Started outside the lock, so
    // a start in the background asked for meanwhile does not wait for this one.
    if (g_state == State::NotStarted) {
        g_state = State::Starting;
        lock.unlock();
        gst_init(nullptr, nullptr);
        lock.lock();
        g_state = State::Started;
        g_ready.notify_all();
    }
    g_ready.wait(lock, [] { return g_state != State::Starting; });
}

void TB_MediaShutdown() {
    std::unique_lock<std::mutex> lock(g_lock);
    g_ready.wait(lock, [] { return g_state != State::Starting; });
    if (g_state != State::Started) {
        return;
    }
    gst_deinit();
    g_state = State::Finished;
}

bool TB_MediaStarted() {
    std::lock_guard<std::mutex> guard(g_lock);
    return g_state == State::Started;
}
