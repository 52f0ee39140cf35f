#pragma once

#include <pthread.h>

#include <atomic>
#include <mutex>
#include <string>

#include "tb_frame.h"
#include "tb_posttarget.h"

// For the whole run, SIGTERM, SIGINT and SIGHUP close the main window as its close button
// would, so a desktop logout or a Ctrl+C still saves the settings and the library index. A
// thread of its own waits for the signals and posts the close to the GUI thread through the
// watched frame's post target, which is safe whatever the frame is doing at that moment.
// A request that comes before a main window exists is kept and honoured when one is shown;
// a second SIGINT or SIGTERM while a close is under way ends the process at once, as
// terminal programs do when their shutdown hangs.
// With LUMOVOX_UI_DUMP naming a file, SIGUSR1 writes the tree of the open windows there
// (on the GUI thread, through the same post target) and prints "UI dump written".
class LV_Signals {
public:
    LV_Signals();
    ~LV_Signals();
    LV_Signals(const LV_Signals&) = delete;
    LV_Signals& operator=(const LV_Signals&) = delete;

    // Blocks the signals in the calling thread and the threads it starts; call first thing.
    static void BlockSignals();

    // GUI thread: the frame whose window the requests close from now on (null: none). A
    // request already made closes it as soon as its window is shown.
    void Watch(TB_Frame* frame);
    // True once a close was asked for by a signal; the program then does not restart.
    bool Requested() const { return m_requested.load(); }

private:
    static void* Wait(void* self);
    void OnSignal(int signal);
    // Posts the close (or the dump) to the watched frame; caller holds m_lock.
    void PostClose();
    void PostDump();

    std::mutex m_lock;
    TB_PostTarget* m_target = nullptr;  // counted
    TB_Frame* m_frame = nullptr;        // not counted; dereferenced only on its own window
    std::atomic<bool> m_requested{false};
    std::string m_dumpPath;  // empty: SIGUSR1 is left alone
    int m_signals = -1;      // signalfd of the blocked signals
    int m_wake = -1;         // eventfd that ends the waiting thread
    pthread_t m_thread{};
    bool m_started = false;
};
