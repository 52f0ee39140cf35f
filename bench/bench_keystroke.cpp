// A keystroke in the search box of the real main window over a library of 100,000 clips: the
// search, the list's relayout and the paint that shows the result, next to the limit: every
// byte of the same texts read once, which no search can beat. Runs on Qt's offscreen platform with
// a private data folder.
#include <malloc.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "bench_voices.h"
#include "lv_frame.h"
#include "tb_framework.h"
#include "tb_gui.h"
#include "tb_messagebox.h"
#include "tc_app.h"
#include "tc_voiceloader.h"

namespace {

std::string g_home;  // the private data folder, removed at the end

// What a person types, one keystroke after the other; each run types arg's text over the one
// before it.
const std::u16string kTyped[] = {u"ね", u"ねこ", u"ねこ 1", u"ねこ 12", u"ねこ 1", u"voice_99"};

struct Window {
    Window() {
        char folder[] = "/tmp/lumovox-bench-XXXXXX";
        g_home = mkdtemp(folder);
        setenv("XDG_DATA_HOME", g_home.c_str(), 1);
        setenv("XDG_CACHE_HOME", (g_home + "/cache").c_str(), 1);
        setenv("QT_QPA_PLATFORM",
               "offscreen:configfile=" LUMOVOX_SOURCE_DIR "/tests/data/offscreen-screen.json", 0);
        TB_AppDescriptor descriptor;
        descriptor.Name = u"LumoVox";
        TB_ParseVersion("1.0.0.0", descriptor);
        TB_FrameworkStartup(descriptor);
        TB_GraphicsStartup();
        TB_GuiStartup(TB_String(), nullptr);
        // A message here would wait for a person; a benchmark has none to ask.
        TB_SetMessageBoxHook([](TB_WindowHandle, const TB_String& text, const TB_String&, tb_uint) {
            std::fprintf(stderr, "message: %s\n", text.ToStdString().c_str());
            return TB_IDOK;
        });
        app = new TC_App();
        TC_App::SetInstance(app);
        app->CreateIcons();
        frame = TB_Ref<LV_Frame>::Adopt(new LV_Frame());
        frame->Create();
        frame->GetPanel()->SetLibrary(bench::Shared().library.Get());
        TB_Canvas* canvas = frame->GetPanel()->GetCanvas();
        surface = new TB_NativeBitmap(static_cast<tb_int>(canvas->Width),
                                      static_cast<tb_int>(canvas->Height));
    }
    void Type(const std::u16string& text) {
        frame->GetPanel()->GetSearchBox()->TextField->SetText(TB_String(text.c_str()));
    }
    void Paint() {
        auto graphics = TB_Ref<TB_Graphics>::Adopt(new TB_Graphics(surface));
        TB_PaintEventArg arg;
        arg.Graphics = graphics.Get();
        frame->GetPanel()->GetCanvas()->OnPaint(arg);
    }
    TC_App* app = nullptr;
    TB_Ref<LV_Frame> frame;
    TB_NativeBitmap* surface = nullptr;
};

Window& Shared() {
    static Window window;
    return window;
}

void BM_Keystroke(benchmark::State& state) {
    Window& window = Shared();
    size_t at = static_cast<size_t>(state.range(0));
    const std::u16string before = at == 0 ? u"" : kTyped[at - 1];
    for (auto _ : state) {
        state.PauseTiming();
        window.Type(before);
        state.ResumeTiming();
        window.Type(kTyped[at]);
        window.Paint();
    }
    state.counters["shown"] = static_cast<double>(window.frame->GetPanel()->ShownIndices().size());
}

void BM_Keystroke_Limit(benchmark::State& state) {
    bench::Library& library = bench::Shared();
    std::vector<uint8_t> visible;
    for (auto _ : state) {
        bench::ReadOnce(library, visible);
        benchmark::DoNotOptimize(visible.data());
    }
}

// Jumps through the list, far each time, and paints, while the lengths of the clips are being
// worked out behind: the rows ask for theirs and each jump asks for the 4,000 around it. The
// longest jump is the longest the GUI thread is held.
void BM_JumpWhileLengthsFill(benchmark::State& state) {
    Window& window = Shared();
    window.Type(u"");
    TB_ScrollBar* bar = window.frame->GetPanel()->GetScrollBar();
    double longest = 0;
    tb_int64 value = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        value = (value + bar->Max / 7 + 1) % std::max(1, bar->Max);
        bar->SetValue(static_cast<int>(value));
        window.Paint();
        longest = std::max(longest, std::chrono::duration<double, std::milli>(
                                        std::chrono::steady_clock::now() - start)
                                        .count());
    }
    state.counters["longest_ms"] = longest;
}

// The GUI thread's share of a library read again after a change on disk (the same as of one
// read at the start): its clips taken into the list with the selection kept. The reading runs
// on the loader's thread, untimed. Needs scripts/make_bench_libraries.py's nested-100000.
void BM_ReloadTakenIn(benchmark::State& state) {
    Window& window = Shared();
    const char* root = "/tmp/lumovox-libs/nested-100000";
    static TC_VoiceLibrary* library = [&] {
        auto* made = new TC_VoiceLibrary();
        made->Type = TC_VoiceLibraryType::Folder;
        made->RootPath = TB_Uri(TB_String(root));
        if (!TC_VoiceLoader::LoadLibrary(made, true) || !window.app->AddLibrary(made)) {
            made->Release();
            return static_cast<TC_VoiceLibrary*>(nullptr);
        }
        return made;
    }();
    if (!library) {
        state.SkipWithError("no library: run scripts/make_bench_libraries.py 100000");
        return;
    }
    TC_VoiceDataListPanel* panel = window.frame->GetPanel();
    window.Type(u"");
    panel->SetLibrary(library);
    panel->SelectIndex(500);
    double longest = 0;
    for (auto _ : state) {
        state.PauseTiming();
        window.app->QueueLoad(library, TC_LoadReason::Disk);
        window.app->Loader().WaitUntilIdle();
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        panel->TakeLoadedLibraries();
        longest = std::max(longest, std::chrono::duration<double, std::milli>(
                                        std::chrono::steady_clock::now() - start)
                                        .count());
    }
    state.counters["longest_ms"] = longest;
    state.counters["clips"] = static_cast<double>(panel->Count());
}

// The heap a clip costs: the clips as read (their texts held once), then with the list and its
// search showing them. The share the list adds is what a row costs beyond its clip. Needs
// nested-100000, like the reload.
void BM_MemoryPerClip(benchmark::State& state) {
    Window& window = Shared();
    TC_VoiceDataListPanel* panel = window.frame->GetPanel();
    panel->SetLibrary(nullptr);
    auto held = [] {
        malloc_trim(0);
        struct mallinfo2 info = mallinfo2();
        return static_cast<double>(info.uordblks + info.hblkhd);  // large blocks are mapped
    };
    double model = 0, shown = 0, clips = 0;
    for (auto _ : state) {
        double start = held();
        auto library = TB_Ref<TC_VoiceLibrary>::Adopt(new TC_VoiceLibrary());
        library->Type = TC_VoiceLibraryType::Folder;
        library->RootPath = TB_Uri(TB_String("/tmp/lumovox-libs/nested-100000"));
        if (!TC_VoiceLoader::LoadLibrary(library.Get(), true)) {
            state.SkipWithError("no library: run scripts/make_bench_libraries.py 100000");
            return;
        }
        double read = held();
        panel->SetLibrary(library.Get());
        window.Paint();
        double listed = held();
        clips = static_cast<double>(panel->Count());
        model = (read - start) / clips;
        shown = (listed - start) / clips;
        panel->SetLibrary(nullptr);
    }
    panel->SetLibrary(bench::Shared().library.Get());
    state.counters["model_B_per_clip"] = model;
    state.counters["shown_B_per_clip"] = shown;
    state.counters["ratio"] = shown / model;
}

BENCHMARK(BM_MemoryPerClip)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Keystroke)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReloadTakenIn)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JumpWhileLengthsFill)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Keystroke_Limit)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    int result = RunWithRatios(argc, argv);
    std::error_code ignored;
    if (!g_home.empty()) {
        std::filesystem::remove_all(g_home, ignored);
    }
    return result;
}
