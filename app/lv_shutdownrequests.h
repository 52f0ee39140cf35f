#pragma once

#include <pthread.h>

#include "tb_frame.h"

// While it lives, SIGTERM, SIGINT and SIGHUP close the frame as its close button would, so
// a desktop logout or a Ctrl+C still saves the settings and the library index. A thread of
// its own waits for the signals and posts the close to the GUI thread.
class LV_ShutdownRequests {
public:
    explicit LV_ShutdownRequests(TB_Frame* frame);
    ~LV_ShutdownRequests();
    LV_ShutdownRequests(const LV_ShutdownRequests&) = delete;
    LV_ShutdownRequests& operator=(const LV_ShutdownRequests&) = delete;

    // Blocks the signals in the calling thread and the threads it starts; call first thing.
    static void BlockSignals();

private:
    static void* Wait(void* self);

    TB_Frame* m_frame;
    pthread_t m_thread{};
    bool m_started = false;
};
