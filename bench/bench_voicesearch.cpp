// A keystroke's search over a large library, next to its limit: a plain substring scan of
// the same texts with nothing prepared.
#include <array>
#include <random>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "tc_voicesearch.h"

namespace {

constexpr int kClips = 100000;

std::u16string Ascii(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

struct Library {
    Library() {
        library = TB_Ref<TC_VoiceLibrary>::Adopt(new TC_VoiceLibrary());
        library->RootPath = TB_Uri(u"file:///home/user/voices/ひかり");
        auto* category = new TC_VoiceCategory(u"通常");
        library->Categories.Add(category);
        std::mt19937 random(7);
        const std::u16string syllables =
            u"あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれ"
            u"ろわをん";
        auto words = [&](int count) {
            std::u16string text;
            for (int i = 0; i < count; ++i) {
                text += syllables[random() % syllables.size()];
            }
            return text;
        };
        for (int i = 0; i < kClips; ++i) {
            auto* voice = new TC_VoiceData(library.Get());
            voice->Surface = TB_String((words(14) + u"です。").c_str());
            std::u16string number = Ascii(std::to_string(i));
            voice->Display = TB_String((u"台詞 " + number).c_str());
            voice->Yomi = TB_String(TC_FoldKana(words(16)).c_str());
            voice->RelFilePath = TB_String(
                (u"場面" + Ascii(std::to_string(i % 40)) + u"/voice_" + number + u".wav").c_str());
            voice->AddCategory(category);
            library->Voices.Add(voice);
            voices.push_back(voice);
            TB_Uri full;
            voice->GetFullPath(full);
            plain.push_back(
                {std::u16string(voice->Surface.View()), std::u16string(voice->Display.View()),
                 std::u16string(full.GetPath().View()), std::u16string(voice->Yomi.View())});
        }
    }
    TB_Ref<TC_VoiceLibrary> library;
    std::vector<TC_VoiceData*> voices;
    std::vector<std::array<std::u16string, 4>> plain;
};

Library& Shared() {
    static Library library;
    return library;
}

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
    const std::u16string& text = kKeystrokes[state.range(0)];
    for (auto _ : state) {
        for (size_t i = 0; i < library.plain.size(); ++i) {
            const auto& clip = library.plain[i];
            visible[i] = clip[0].find(text) != std::u16string::npos ||
                         clip[1].find(text) != std::u16string::npos ||
                         clip[2].find(text) != std::u16string::npos ||
                         clip[3].find(text) != std::u16string::npos;
        }
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
