#pragma once

#include <mutex>

#include "tb_object.h"

class TB_ILockable {
public:
    virtual ~TB_ILockable() = default;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
};

// Re-entrant lock: the holder may lock again and must unlock as often.
class TB_CriticalSection : public TB_Object, public TB_ILockable {
public:
    void Lock() override { m_mutex.lock(); }
    void Unlock() override { m_mutex.unlock(); }

private:
    std::recursive_mutex m_mutex;
};

// Holds a lockable for a scope.
class TB_LockGuard {
public:
    explicit TB_LockGuard(TB_ILockable& lockable) : m_lockable(lockable) { m_lockable.Lock(); }
    ~TB_LockGuard() { m_lockable.Unlock(); }
    TB_LockGuard(const TB_LockGuard&) = delete;
    TB_LockGuard& operator=(const TB_LockGuard&) = delete;

private:
    TB_ILockable& m_lockable;
};
