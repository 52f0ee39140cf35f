#pragma once

#include <condition_variable>
#include <mutex>

#include "tb_object.h"

class TB_EventWaitHandle : public TB_Object {
public:
    virtual void Reset() = 0;
    virtual void Set() = 0;
    // True exactly when the wait timed out; 0 or a negative time waits without limit.
    virtual bool Wait(tb_int milliseconds) = 0;
    virtual bool Wait() = 0;
};

// Starts unsignalled; a wait that returns consumes the signal. Signals do not count: two
// Sets before one Wait wake one wait.
class TB_EventAutoReset : public TB_EventWaitHandle {
public:
    void Reset() override;
    void Set() override;
    bool Wait(tb_int milliseconds) override;
    bool Wait() override { return Wait(0); }

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_signaled = false;
};
