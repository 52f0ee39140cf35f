#pragma once

#include <algorithm>

#include "tb_event.h"
#include "tb_eventargs.h"

// A widget that edits one bounded value. A change raises ValueChangeBegin, ValueChanged and
// ValueChangeEnd; while ChangeOpen is set a sequence has begun and not yet ended, so owners
// that do expensive work can wait for the end.
template <class T>
class TB_IParamWidget {
public:
    virtual ~TB_IParamWidget() = default;

    // Called after Value took a new value.
    virtual void ValueUpdated() = 0;
    // Recomputes the widget's look from the fields and repaints; owners call it after
    // setting Max, Min, LargeChange or SmallChange.
    virtual void Refresh() = 0;
    // Clamps to [Min, Max]; a new result is stored and ValueUpdated called.
    virtual void SetValue(T value) {
        T clamped = std::max(Min, std::min(value, Max));  // Min wins when Min > Max
        if (clamped != Value) {
            Value = clamped;
            ValueUpdated();
        }
    }
    virtual void OnValueChangeBegin() {
        TB_EventArg arg;
        OnValueChangeBegin(arg);
    }
    virtual void OnValueChangeBegin(TB_EventArg& arg) { ValueChangeBegin.Fire(arg); }
    virtual void OnValueChanged() {
        TB_EventArg arg;
        OnValueChanged(arg);
    }
    virtual void OnValueChanged(TB_EventArg& arg) { ValueChanged.Fire(arg); }
    virtual void OnValueChangeEnd() {
        TB_EventArg arg;
        OnValueChangeEnd(arg);
    }
    virtual void OnValueChangeEnd(TB_EventArg& arg) { ValueChangeEnd.Fire(arg); }

    T Value = T(0);
    T Max = T(100);
    T Min = T(0);
    T LargeChange = T(10);  // the page: the part of the range visible at once
    T SmallChange = T(5);
    bool ChangeOpen = false;

    TB_Event<TB_EventArg> ValueChangeBegin;
    TB_Event<TB_EventArg> ValueChanged;
    TB_Event<TB_EventArg> ValueChangeEnd;
};
