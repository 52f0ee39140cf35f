#pragma once

#include <atomic>
#include <thread>

#include "tb_object.h"

class TB_ThreadArgs : public TB_Object {
public:
    void* Data = nullptr;
    tb_int64 Result = 0;
};

// A thread that runs Run() once. The starter keeps its own count on the object for as long
// as the thread may run; stopping is cooperative (the body polls its owner's flag).
class TB_Thread : public TB_Object {
public:
    using EntryFunction = void (*)(TB_ThreadArgs* args);

    TB_Thread();
    TB_Thread(const TB_Thread&) = delete;
    TB_Thread& operator=(const TB_Thread&) = delete;
    // Waits for a body that is still running; a thread never joins itself.
    ~TB_Thread() override;

    // Clears the args and starts the thread; false when it could not be started.
    bool Start();
    bool IsRunning() const { return m_running.load(); }
    // Waits without limit for the body to return; at once when it never started or ended.
    void Join();
    TB_ThreadArgs* GetArgs() const { return m_args; }
    tb_uint ThreadId() const { return m_threadId; }
    tb_int64 ExitResult() const { return m_exitResult.load(); }

    EntryFunction Entry = nullptr;

protected:
    virtual void Run();

private:
    void Procedure();

    TB_ThreadArgs* m_args;
    bool m_started = false;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
    tb_uint m_threadId = 0;
    std::atomic<tb_int64> m_exitResult{0};
};

// Runs a member function of a target object (not counted by the thread).
template <class T>
class TB_ThreadEx : public TB_Thread {
public:
    using Method = void (T::*)(TB_ThreadArgs* args);
    TB_ThreadEx(T* target, Method method) : m_target(target), m_method(method) {}

protected:
    void Run() override { (m_target->*m_method)(GetArgs()); }

private:
    T* m_target;
    Method m_method;
};
