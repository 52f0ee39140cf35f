#include <benchmark/benchmark.h>

#include "tb_audioplayer.h"
#include "tb_framework.h"

namespace {

// Open returns once the pipeline has prerolled, that is once the first buffer of the clip
// has reached the sink: its time is the time from Open to the first sample.
void BM_OpenWavUntilFirstSample(benchmark::State& state) {
    TB_AppDescriptor descriptor;
    TB_FrameworkStartup(descriptor);
    TB_SetAudioOutput(TB_AudioOutput::Silent);
    auto* player = new TB_AudioPlayer();
    TB_String path(
        (std::string(LUMOVOX_SOURCE_DIR) + "/tests/data/audio/pcm16-stereo-48000.wav").c_str());
    for (auto _ : state) {
        if (player->Open(path) != 0) {
            state.SkipWithError("the clip did not open");
            break;
        }
        state.PauseTiming();
        player->Close();
        state.ResumeTiming();
    }
    player->Release();
    TB_FrameworkShutdown();
}
BENCHMARK(BM_OpenWavUntilFirstSample)->Unit(benchmark::kMillisecond);

}  // namespace
