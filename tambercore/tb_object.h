#pragma once

#include "tb_types.h"

// Root of the reference-counted classes. The creator owns the first count; the object is
// destroyed when Release brings the count below 1. Counts are plain integers: objects are
// shared between threads only under their owner's lock.
class TB_Object {
public:
    TB_Object() = default;
    // A copy is a new object with its own single count.
    TB_Object(const TB_Object&) {}
    TB_Object& operator=(const TB_Object&) { return *this; }
    virtual ~TB_Object() = default;

    void AddRef() { ++m_refCount; }
    void Release() {
        if (--m_refCount < 1) {
            delete this;
        }
    }
    tb_int RefCount() const { return m_refCount; }

private:
    tb_int m_refCount = 1;
};

// Holds one count of an object for a scope; Adopt takes over a count the caller owns.
template <class T>
class TB_Ref {
public:
    TB_Ref() = default;
    static TB_Ref Adopt(T* object) {
        TB_Ref ref;
        ref.m_object = object;
        return ref;
    }
    explicit TB_Ref(T* object) : m_object(object) {
        if (m_object) {
            m_object->AddRef();
        }
    }
    TB_Ref(const TB_Ref& other) : TB_Ref(other.m_object) {}
    TB_Ref(TB_Ref&& other) noexcept : m_object(other.m_object) { other.m_object = nullptr; }
    TB_Ref& operator=(TB_Ref other) noexcept {
        T* old = m_object;
        m_object = other.m_object;
        other.m_object = old;
        return *this;
    }
    ~TB_Ref() { Reset(); }

    void Reset() {
        if (m_object) {
            T* old = m_object;
            m_object = nullptr;
            old->Release();
        }
    }
    // Gives the count back to the caller.
    T* Detach() {
        T* object = m_object;
        m_object = nullptr;
        return object;
    }
    T* Get() const { return m_object; }
    T* operator->() const { return m_object; }
    T& operator*() const { return *m_object; }
    explicit operator bool() const { return m_object != nullptr; }

private:
    T* m_object = nullptr;
};
