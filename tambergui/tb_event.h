#pragma once

#include <functional>
#include <type_traits>
#include <typeinfo>
#include <utility>

#include "tb_list.h"

// One subscriber of an event. Handlers are counted objects owned by their event.
template <class T>
class TB_EventHandler : public TB_Object {
public:
    virtual void Invoke(T& arg) = 0;
    virtual bool Equals(const TB_EventHandler<T>* other) const = 0;
};

// Calls a function object; never equal to another handler.
template <class T>
class TB_EventHandlerLambda : public TB_EventHandler<T> {
public:
    explicit TB_EventHandlerLambda(std::function<void(T&)> callable)
        : m_callable(std::move(callable)) {}

    // An empty callable throws std::bad_function_call, as calling it would.
    void Invoke(T& arg) override {
        arg.Tag = Tag;
        m_callable(arg);
    }
    bool Equals(const TB_EventHandler<T>*) const override { return false; }

    void* Tag = nullptr;

private:
    std::function<void(T&)> m_callable;
};

// Calls a member function of an owner it does not keep alive.
template <class TOwner, class TArg>
class TB_EventHandlerObject : public TB_EventHandler<TArg> {
public:
    using Method = void (TOwner::*)(TArg&);
    TB_EventHandlerObject(TOwner* owner, Method method) : Owner(owner), m_method(method) {}

    void Invoke(TArg& arg) override {
        arg.Tag = Tag;
        (Owner->*m_method)(arg);
    }
    // Same type, owner, member function and tag. Comparing the member-function pointers
    // compares the function and its this-adjustment together.
    bool Equals(const TB_EventHandler<TArg>* other) const override {
        auto* same = dynamic_cast<const TB_EventHandlerObject<TOwner, TArg>*>(other);
        return same && typeid(*same) == typeid(*this) && same->Owner == Owner &&
               same->m_method == m_method && same->Tag == Tag;
    }

    TOwner* Owner;
    void* Tag = nullptr;

private:
    Method m_method;
};

// A typed event: a value member of its owner holding its handlers in the order added.
template <class T>
class TB_Event {
public:
    TB_Event() = default;
    TB_Event(const TB_Event&) = delete;
    TB_Event& operator=(const TB_Event&) = delete;
    virtual ~TB_Event() { TB_ReleaseAll(m_handlers); }

    // Takes over the caller's count.
    void Add(TB_EventHandler<T>* handler) { m_handlers.Add(handler); }
    // Wraps anything callable with T& in a new lambda handler.
    template <class F>
    requires(!std::is_convertible_v<F, TB_EventHandler<T>*>) void Add(F&& callable) {
        m_handlers.Add(
            new TB_EventHandlerLambda<T>(std::function<void(T&)>(std::forward<F>(callable))));
    }
    template <class TOwner>
    void Add(TOwner* owner, void (TOwner::*method)(T&)) {
        m_handlers.Add(new TB_EventHandlerObject<TOwner, T>(owner, method));
    }

    // Walks by index and re-reads the list before each step, so a handler added during
    // the walk is called in the same walk.
    void Fire(T& arg) {
        for (tb_int i = 0; i < m_handlers.Count(); ++i) {
            m_handlers[i]->Invoke(arg);
        }
    }

    tb_int HandlerCount() const { return m_handlers.Count(); }
    bool HasHandlers() const { return m_handlers.Count() > 0; }
    TB_EventHandler<T>* HandlerAt(tb_int index) const { return m_handlers.Get(index); }

private:
    TB_List<TB_EventHandler<T>*> m_handlers;
};
