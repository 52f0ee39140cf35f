// A keystroke's search over a large library, next to its limit: every byte of the same texts
// read once, which no search can beat.
#include <array>
#include <random>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "bench_voices.h"
#include "tc_voicesearch.h"

namespace {

using bench::kClips;
using bench::Library;
using bench::Shared;

const std::u16string kKeystrokes[] = {u"ね", u"ねこ", u"ねこ 1", u"ねこ 12", u"voice_99"};

void BM_SearchKeystroke(benchmark::State& state) {
    Library& library = Shared();
    TC_VoiceSearch search;
    search.Build(library.voices);
    std::vector<uint8_t> visible;
    const std::u16string& text = kKeystrokes[state.range(0)];
    for (auto _ : state) {
        search.Match(text, false, visible);
        benchmark::DoNotOptimize(visible.data());
    }
}

void BM_SearchKeystroke_Limit(benchmark::State& state) {
    Library& library = Shared();
    std::vector<uint8_t> visible(kClips);
    for (auto _ : state) {
        bench::ReadOnce(library, visible);
        benchmark::DoNotOptimize(visible.data());
    }
}

// Preparing the texts once per library.
void BM_SearchBuild(benchmark::State& state) {
    Library& library = Shared();
    for (auto _ : state) {
        TC_VoiceSearch search;
        search.Build(library.voices);
        benchmark::DoNotOptimize(&search);
    }
}

BENCHMARK(BM_SearchKeystroke)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchKeystroke_Limit)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchBuild)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return RunWithRatios(argc, argv);
}
