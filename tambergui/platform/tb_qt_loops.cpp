#include "platform/tb_qt_loops.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimerEvent>

#include <algorithm>
#include <functional>
#include <unordered_map>
#include <vector>

#include "platform/tb_native_window.h"
#include "platform/tb_qt_platform.h"
#include "tb_framework.h"
#include "tb_uitimer.h"

namespace {

int g_dispatchDepth = 0;

struct LoopEntry {
    QEventLoop* loop;
    const std::function<bool()>* done;
};
std::vector<LoopEntry> g_loops;

}  // namespace

void TB_QtCheckLoops() {
    for (LoopEntry& entry : g_loops) {
        if ((*entry.done)()) {
            entry.loop->quit();
        }
    }
}

int& TB_QtDispatchDepth() {
    return g_dispatchDepth;
}

tb_uint64 TB_QtPlatform::Milliseconds() {
    return TB_GetTickCount() - TB_GetStartTick();
}

void TB_QtPlatform::RunEventLoop(const std::function<bool()>& done) {
    if (done()) {
        return;
    }
    QEventLoop loop;
    g_loops.push_back({&loop, &done});
    loop.exec();
    g_loops.pop_back();
}

bool TB_QtPlatform::PostAction(TB_WindowHandle window, TB_Action* action) {
    if (!window || !QCoreApplication::instance()) {
        return false;
    }
    QCoreApplication::postEvent(window, new TB_PostedActionEvent(action));
    return true;
}

namespace {

// Runs the toolkit's timers as Qt timers of one object on the GUI thread. It is a child of
// the application object, so it goes with it.
class TimerHost : public QObject {
public:
    std::unordered_map<int, tb_uint64> Identifiers;  // Qt timer id -> toolkit identifier
    std::unordered_map<tb_uint64, int> QtIds;

protected:
    void timerEvent(QTimerEvent* event) override {
        auto found = Identifiers.find(event->timerId());
        if (found != Identifiers.end()) {
            TB_UiTimer::Dispatch(found->second);
            TB_QtCheckLoops();
        }
    }
};

QPointer<TimerHost> g_timerHost;

}  // namespace

tb_uint64 TB_QtPlatform::StartTimer(TB_WindowHandle, tb_uint64 identifier, tb_int interval) {
    if (!QCoreApplication::instance() || identifier == 0) {
        return 0;
    }
    if (!g_timerHost) {
        g_timerHost = new TimerHost();
        g_timerHost->setParent(QCoreApplication::instance());
    }
    StopTimer(identifier);
    int qtId = g_timerHost->startTimer(std::max(interval, 0));
    if (qtId == 0) {
        return 0;
    }
    g_timerHost->Identifiers[qtId] = identifier;
    g_timerHost->QtIds[identifier] = qtId;
    return identifier;
}

void TB_QtPlatform::StopTimer(tb_uint64 identifier) {
    if (!g_timerHost) {
        return;
    }
    auto found = g_timerHost->QtIds.find(identifier);
    if (found != g_timerHost->QtIds.end()) {
        g_timerHost->killTimer(found->second);
        g_timerHost->Identifiers.erase(found->second);
        g_timerHost->QtIds.erase(found);
    }
}
