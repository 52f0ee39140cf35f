#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "tb_framework.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tb_memorystream.h"
#include "tc_voicelibraryselector.h"
#include "tc_voiceloader.h"

// Opening the library selector's popup over 1,000 libraries, each with its own decoded copy of
// the built-in 256 x 256 thumbnail (what a list of libraries without pictures holds): build the
// rows, scroll to the current library and paint the first view. Cold makes a new selector each
// time, so the thumbnails in view are scaled anew; warm reuses one selector's cache.

namespace {

struct Libraries {
    Libraries() {
        auto image = TB_Ref<TB_MemoryStream>::Adopt(new TB_MemoryStream(
            TC_VoiceLoader::DefaultThumbnailPng(),
            static_cast<tb_int64>(TC_VoiceLoader::DefaultThumbnailPngSize()), false));
        for (int i = 0; i < 1000; ++i) {
            auto* library = new TC_VoiceLibrary();
            library->Type = TC_VoiceLibraryType::Csv;
            library->Name = TB_String(("ライブラリ " + std::to_string(i)).c_str());
            TC_VoiceLoader::LoadThumbnail(library, image.Get());
            List.Add(library);
        }
    }
    ~Libraries() { TB_ReleaseAll(List); }
    TB_List<TC_VoiceLibrary*> List;
};

void OpenAndPaint(TC_VoiceLibrarySelector* selector, TB_List<TC_VoiceLibrary*>& list) {
    auto popup = TB_Ref<TC_VoiceLibrarySelectorPopup>::Adopt(
        new TC_VoiceLibrarySelectorPopup(selector, &list));
    TB_Canvas* canvas = popup->GetCanvas();
    auto bitmap = TB_Ref<TB_NativeBitmap>::Adopt(new TB_NativeBitmap(
        static_cast<tb_int>(canvas->Width), static_cast<tb_int>(canvas->Height)));
    auto graphics = TB_Ref<TB_Graphics>::Adopt(new TB_Graphics(bitmap.Get()));
    TB_PaintEventArg arg;
    arg.Graphics = graphics.Get();
    canvas->OnPaint(arg);
    benchmark::DoNotOptimize(bitmap->PixelAt(0, 0));
}

void BM_SelectorPopupCold(benchmark::State& state) {
    Libraries libraries;
    for (auto _ : state) {
        auto selector = TB_Ref<TC_VoiceLibrarySelector>::Adopt(new TC_VoiceLibrarySelector());
        selector->SetSize(300, 28);
        selector->SetLibraries(&libraries.List);
        selector->SetLibrary(libraries.List[static_cast<tb_int>(state.range(0))]);
        OpenAndPaint(selector.Get(), libraries.List);
        selector->SetLibraries(nullptr);
    }
}
BENCHMARK(BM_SelectorPopupCold)->Arg(0)->Arg(700)->Unit(benchmark::kMillisecond);

void BM_SelectorPopupWarm(benchmark::State& state) {
    Libraries libraries;
    auto selector = TB_Ref<TC_VoiceLibrarySelector>::Adopt(new TC_VoiceLibrarySelector());
    selector->SetSize(300, 28);
    selector->SetLibraries(&libraries.List);
    selector->SetLibrary(libraries.List[700]);
    OpenAndPaint(selector.Get(), libraries.List);
    for (auto _ : state) {
        OpenAndPaint(selector.Get(), libraries.List);
    }
    selector->SetLibraries(nullptr);
}
BENCHMARK(BM_SelectorPopupWarm)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM",
           "offscreen:configfile=" LUMOVOX_SOURCE_DIR "/tests/data/offscreen-screen.json", 0);
    TB_AppDescriptor descriptor;
    TB_FrameworkStartup(descriptor);
    TB_GraphicsStartup();
    TB_GuiStartup(TB_String(), nullptr);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TB_FrameworkShutdown();
    return 0;
}
