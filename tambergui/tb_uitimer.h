#pragma once

#include "tb_event.h"
#include "tb_eventargs.h"

class TB_NativeWidget;

// Raises Tick on the GUI thread every Interval milliseconds while it runs. Each Start begins a
// fresh period, so the first Tick comes one Interval after it. A tick the platform delivers
// after Stop (or after the timer died) finds no timer and fires nothing.
class TB_UiTimer : public TB_Object {
public:
    explicit TB_UiTimer(TB_NativeWidget* owner);
    ~TB_UiTimer() override;

    virtual void OnTick() {
        TB_EventArg arg;
        OnTick(arg);
    }
    virtual void OnTick(TB_EventArg& arg) { Tick.Fire(arg); }

    void Start();
    void Stop();
    // A new period starts at once when the timer runs; an equal value changes nothing.
    void SetInterval(tb_int milliseconds);
    tb_int GetInterval() const { return Interval; }

    // The platform's timer callback (GUI thread): ticks the timer registered under the low
    // 32 bits of the identifier, if there is one.
    static void Dispatch(tb_uint64 identifier);
    // Live timers; 0 once the registry was released.
    static tb_int LiveCount();

    bool Running = false;
    tb_int Interval = 1000;
    TB_NativeWidget* Owner;  // not owned
    tb_uint64 TimerId = 0;
    TB_Event<TB_EventArg> Tick;
};
