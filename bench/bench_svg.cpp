#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "tb_graphics.h"
#include "tb_gui.h"
#include "tb_nativebitmap.h"
#include "tb_svg.h"

// An icon with N class rules and N shapes, each shape of two classes and the last rule a
// second fill for every class: the style text grows with N (to 210 KB at 8,000, under the
// 256 KiB an icon's style may take), and the time to read and draw it must grow no faster.

namespace {

std::string Icon(int rules) {
    std::string text = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 16 16\"><style>";
    char line[96];
    for (int i = 0; i < rules; ++i) {
        std::snprintf(line, sizeof line, ".c%d{fill:#%06x}", i, (i * 2654435761u) & 0xFFFFFF);
        text += line;
    }
    text += ".c0";
    for (int i = 1; i < rules; ++i) {
        std::snprintf(line, sizeof line, ",.c%d", i);
        text += line;
    }
    text += "{fill:#102030}</style>";
    for (int i = 0; i < rules; ++i) {
        std::snprintf(line, sizeof line, "<path class=\"c%d c%d\" d=\"M0 0h1v1z\"/>", i,
                      (i + 1) % rules);
        text += line;
    }
    return text + "</svg>";
}

void BM_IconWithClassRules(benchmark::State& state) {
    static bool started = [] {
        TB_GraphicsStartup();
        return true;
    }();
    (void)started;
    std::string text = Icon(static_cast<int>(state.range(0)));
    auto bitmap = TB_Ref<TB_NativeBitmap>::Adopt(new TB_NativeBitmap(16, 16));
    for (auto _ : state) {
        auto renderer = TB_Ref<TB_SvgRenderer>::Adopt(new TB_SvgRenderer());
        bool loaded = renderer->LoadText(text.c_str());
        TB_Graphics graphics(bitmap.Get());
        renderer->Render(graphics, TB_Rectangle<float>{0, 0, 16, 16}, true);
        benchmark::DoNotOptimize(loaded);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_IconWithClassRules)
    ->Arg(2000)
    ->Arg(4000)
    ->Arg(8000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace
