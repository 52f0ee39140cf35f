#include "tb_uitimer.h"

#include "tb_map.h"
#include "tb_nativewidget.h"

namespace {

TB_Map<TB_UiTimer*>* g_registry = nullptr;
tb_int g_liveTimers = 0;

TB_String KeyOf(tb_uint64 identifier) {
    TB_String key;
    key.Format(u"%u", static_cast<tb_uint>(identifier & 0xFFFFFFFFu));
    return key;
}

}  // namespace

TB_UiTimer::TB_UiTimer(TB_NativeWidget* owner) : Owner(owner) {
    if (!g_registry) {
        g_registry = new TB_Map<TB_UiTimer*>();
    }
    ++g_liveTimers;
}

TB_UiTimer::~TB_UiTimer() {
    Stop();
    if (--g_liveTimers == 0 && g_registry) {
        g_registry->Release();
        g_registry = nullptr;
    }
}

void TB_UiTimer::Start() {
    if (Running) {
        return;
    }
    auto identifier = static_cast<tb_uint64>(reinterpret_cast<uintptr_t>(this));
    TimerId = TB_GetPlatform().StartTimer(Owner ? Owner->Window : nullptr, identifier, Interval);
    Running = true;
    if (TimerId != 0 && g_registry) {
        g_registry->Add(KeyOf(TimerId), this);  // an entry already there stays
    }
}

void TB_UiTimer::Stop() {
    if (!Running) {
        return;
    }
    if (TimerId != 0) {
        if (g_registry) {
            TB_MapPair<TB_UiTimer*>* pair = g_registry->Find(KeyOf(TimerId));
            if (pair && pair->Value == this) {
                g_registry->Remove(KeyOf(TimerId));
            }
        }
        TB_GetPlatform().StopTimer(TimerId);
        TimerId = 0;
    }
    Running = false;
}

void TB_UiTimer::SetInterval(tb_int milliseconds) {
    if (milliseconds == Interval) {
        return;
    }
    Interval = milliseconds;
    if (Running) {
        Stop();
        Start();
    }
}

void TB_UiTimer::Dispatch(tb_uint64 identifier) {
    if (!g_registry) {
        return;
    }
    TB_MapPair<TB_UiTimer*>* pair = g_registry->Find(KeyOf(identifier));
    if (!pair) {
        return;
    }
    // A handler may stop or release its own timer: hold it through the tick.
    TB_Ref<TB_UiTimer> keep(pair->Value);
    keep->OnTick();
}

tb_int TB_UiTimer::LiveCount() {
    return g_liveTimers;
}
