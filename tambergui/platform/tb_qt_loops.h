#pragma once

#include <QEvent>

#include "tb_action.h"

// The Qt platform's timers, nested loops and posted actions.

// The event that carries a posted action to its window.
constexpr QEvent::Type TB_kPostedActionEvent = static_cast<QEvent::Type>(QEvent::User + 3);

// Carries a posted action; an action whose window died before delivery is released here.
class TB_PostedActionEvent : public QEvent {
public:
    explicit TB_PostedActionEvent(TB_Action* action)
        : QEvent(TB_kPostedActionEvent), m_action(action) {}
    ~TB_PostedActionEvent() override {
        if (m_action) {
            m_action->Release();
        }
    }
    TB_Action* Take() {
        TB_Action* action = m_action;
        m_action = nullptr;
        return action;
    }

private:
    TB_Action* m_action;
};

// Nesting depth of window event handlers: a window destroyed inside one is deleted later.
int& TB_QtDispatchDepth();
// Quits every nested loop whose end condition now holds; called after each event that may
// have changed one.
void TB_QtCheckLoops();
