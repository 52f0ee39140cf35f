#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tb_criticalsection.h"
#include "tb_eventwaithandle.h"
#include "tb_thread.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(EventAutoReset, TimedWaitsAndAutoReset) {
    TB_EventAutoReset event;
    auto start = Clock::now();
    EXPECT_TRUE(event.Wait(10));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(9));

    event.Set();
    EXPECT_FALSE(event.Wait(10));  // returns at once and consumes the signal
    EXPECT_TRUE(event.Wait(10));

    event.Set();
    event.Set();  // signals do not count
    EXPECT_FALSE(event.Wait(10));
    EXPECT_TRUE(event.Wait(10));

    event.Set();
    event.Reset();
    EXPECT_TRUE(event.Wait(1));
}

TEST(EventAutoReset, UnlimitedWaitsBlockUntilSet) {
    for (tb_int timeout : {0, -1}) {
        TB_EventAutoReset event;
        TB_EventAutoReset started;
        bool timedOut = true;
        std::thread waiter([&] {
            started.Set();
            timedOut = event.Wait(timeout);
        });
        started.Wait();
        event.Set();
        waiter.join();
        EXPECT_FALSE(timedOut);
    }
}

class Counter {
public:
    void Body(TB_ThreadArgs* args) {
        ++m_calls;
        args->Result = 42;
    }
    int m_calls = 0;
};

TEST(Thread, RunsJoinsAndKeepsTheExitResult) {
    Counter counter;
    auto* thread = new TB_ThreadEx<Counter>(&counter, &Counter::Body);
    EXPECT_FALSE(thread->IsRunning());
    thread->Join();  // never started: returns at once
    ASSERT_TRUE(thread->Start());
    thread->Join();
    EXPECT_FALSE(thread->IsRunning());
    EXPECT_EQ(counter.m_calls, 1);
    EXPECT_EQ(thread->ExitResult(), 42);
    thread->Join();                 // already finished
    EXPECT_FALSE(thread->Start());  // at most once
    thread->Release();

    auto* plain = new TB_Thread();
    static std::atomic<int> entered{0};
    plain->Entry = [](TB_ThreadArgs* args) {
        ++entered;
        args->Result = 7;
    };
    plain->Start();
    plain->Join();
    EXPECT_EQ(entered.load(), 1);
    EXPECT_EQ(plain->ExitResult(), 7);
    plain->Release();

    auto* idle = new TB_Thread();
    TB_ThreadArgs* args = idle->GetArgs();
    EXPECT_EQ(args->RefCount(), 1);
    idle->Release();  // never started: nothing to close, args released
}

TEST(CriticalSection, IsReentrantAndExcludesOtherThreads) {
    TB_CriticalSection lock;
    lock.Lock();
    lock.Lock();
    int shared = 0;
    TB_EventAutoReset tried;
    std::thread other([&] {
        tried.Set();
        TB_LockGuard guard(lock);
        shared = 2;
    });
    tried.Wait();
    shared = 1;
    lock.Unlock();
    EXPECT_EQ(shared, 1);  // still held once
    lock.Unlock();
    other.join();
    EXPECT_EQ(shared, 2);
}

}  // namespace
