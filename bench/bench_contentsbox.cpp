#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_ratio.h"
#include "tb_contentsbox.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"

// A contents box of 100,000 items, 400 x 600 (about 25 rows on the canvas), painted into a
// bitmap the way a window's paint does it. BM_ContentsBoxFilter_Limit is one pass over the
// items that reads and writes each once: what any relayout costs at the least.

namespace {

constexpr int kItems = 100000;

TB_ContentsBox* Box() {
    static TB_ContentsBox* box = [] {
        TB_GraphicsStartup();
        TB_GuiStartup(TB_String(), nullptr);
        auto* made = new TB_ContentsBox();
        made->BorderWidth = 2;
        made->SetViewMode(TB_ContentsViewMode::List);
        made->SetTextScrolling(true);
        made->SetBounds(0, 0, 400, 600);
        made->PerformLayout();  // no window, so no resize message does it
        for (int i = 0; i < kItems; ++i) {
            char text[64];
            std::snprintf(text, sizeof text, "voice/category_%02d/line_%06d.wav", i % 40, i);
            made->AddItem(new TB_ContentsBoxItem(TB_String(text)));
        }
        return made;
    }();
    return box;
}

TB_NativeBitmap* Surface() {
    static TB_NativeBitmap* bitmap = [] {
        TB_Canvas* canvas = Box()->GetCanvas();
        return new TB_NativeBitmap(static_cast<tb_int>(canvas->Width),
                                   static_cast<tb_int>(canvas->Height));
    }();
    return bitmap;
}

void PaintOnce() {
    auto graphics = TB_Ref<TB_Graphics>::Adopt(new TB_Graphics(Surface()));
    TB_PaintEventArg arg;
    arg.Graphics = graphics.Get();
    Box()->GetCanvas()->OnPaint(arg);
}

void BM_ContentsBoxRepaint(benchmark::State& state) {
    TB_ContentsBox* box = Box();
    box->ShowAll();
    box->GetScrollBar()->SetValue(24 * 50000);
    box->SelectIndex(50003);
    state.counters["rows"] = static_cast<double>(box->GetCanvas()->Height / box->RowHeight);
    state.counters["itemBytes"] = static_cast<double>(sizeof(TB_ContentsBoxItem));
    for (auto _ : state) {
        PaintOnce();
    }
}
BENCHMARK(BM_ContentsBoxRepaint)->Unit(benchmark::kMillisecond);

// One small step of the scroll bar (an arrow click) and the paint it causes.
void BM_ContentsBoxScrollStep(benchmark::State& state) {
    TB_ContentsBox* box = Box();
    box->ShowAll();
    TB_ScrollBar* scroll = box->GetScrollBar();
    scroll->SetValue(24 * 50000);
    int direction = 1;
    int steps = 0;
    for (auto _ : state) {
        scroll->SetValue(scroll->Value + direction * scroll->SmallChange);
        PaintOnce();
        if (++steps == 1000) {  // stay in the middle of the list
            steps = 0;
            direction = -direction;
        }
    }
}
BENCHMARK(BM_ContentsBoxScrollStep)->Unit(benchmark::kMillisecond);

// Hiding every other item: the predicate and the relayout in one pass.
void BM_ContentsBoxFilter(benchmark::State& state) {
    TB_ContentsBox* box = Box();
    box->GetScrollBar()->SetValue(24 * 20000);
    int parity = 0;
    for (auto _ : state) {
        int index = 0;
        box->Filter([&](TB_ContentsBoxItem*) { return (index++ & 1) == parity; });
        parity ^= 1;  // each run hides the other half, so every item changes
    }
    box->ShowAll();
}
BENCHMARK(BM_ContentsBoxFilter)->Unit(benchmark::kMillisecond);

// The same with the paint that shows the result, as a search keystroke costs it.
void BM_ContentsBoxFilterAndPaint(benchmark::State& state) {
    TB_ContentsBox* box = Box();
    box->GetScrollBar()->SetValue(24 * 20000);
    int parity = 0;
    for (auto _ : state) {
        int index = 0;
        box->Filter([&](TB_ContentsBoxItem*) { return (index++ & 1) == parity; });
        parity ^= 1;
        PaintOnce();
    }
    box->ShowAll();
}
BENCHMARK(BM_ContentsBoxFilterAndPaint)->Unit(benchmark::kMillisecond);

// An owner that set ItemVisible itself and asks for the relayout.
void BM_ContentsBoxRelayout(benchmark::State& state) {
    TB_ContentsBox* box = Box();
    for (int i = 0; i < kItems; ++i) {
        box->ItemAt(i)->ItemVisible = (i & 1) == 0;
    }
    for (auto _ : state) {
        box->Relayout();
    }
    box->ShowAll();
}
BENCHMARK(BM_ContentsBoxRelayout)->Unit(benchmark::kMillisecond);

void OnePass(benchmark::State& state) {
    TB_ContentsBox* box = Box();
    int parity = 0;
    for (auto _ : state) {
        int index = 0;
        for (TB_ContentsBoxItem* item : box->Items) {
            item->ItemVisible = (index++ & 1) == parity;
        }
        parity ^= 1;
        benchmark::ClobberMemory();
    }
    box->ShowAll();
}

void BM_ContentsBoxFilter_Limit(benchmark::State& state) {
    OnePass(state);
}
BENCHMARK(BM_ContentsBoxFilter_Limit)->Unit(benchmark::kMillisecond);

void BM_ContentsBoxRelayout_Limit(benchmark::State& state) {
    OnePass(state);
}
BENCHMARK(BM_ContentsBoxRelayout_Limit)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM",
           "offscreen:configfile=" LUMOVOX_SOURCE_DIR "/tests/data/offscreen-screen.json", 0);
    return RunWithRatios(argc, argv);
}
