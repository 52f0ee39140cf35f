#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tb_error.h"
#include "tb_framework.h"
#include "tc_app_voice_lib.h"
#include "tc_voiceloader.h"

namespace {

namespace fs = std::filesystem;

// A CSV library of 100,000 lines whose clips all exist (empty files), and an index that
// names it with 10,000 favourites.
struct Fixture {
    std::string folder = "/tmp/lumovox-bench-lib-" + std::to_string(getpid());
    Fixture() {
        TB_AppDescriptor descriptor;
        TB_FrameworkStartup(descriptor);
        fs::create_directories(folder + "/voice");
        std::FILE* table = std::fopen((folder + "/lines.csv").c_str(), "wb");
        std::string favs;
        for (int i = 0; i < 100000; ++i) {
            std::string clip = "voice/clip_" + std::to_string(i) + ".wav";
            close(open((folder + "/" + clip).c_str(), O_CREAT | O_WRONLY, 0644));
            std::fprintf(table, "%s,タイトル%d,\"セリフ、%d\",せりふ,カテゴリ%d\n", clip.c_str(), i,
                         i, i % 8);
            if (i % 10 == 0) {
                favs +=
                    std::string(favs.empty() ? "" : ",") + "\"file://" + folder + "/" + clip + "\"";
            }
        }
        std::fclose(table);
        std::FILE* index = std::fopen((folder + "/voice-libs.json").c_str(), "wb");
        std::fprintf(index,
                     "{\"libs\": [{\"name\": \"lines\", \"type\": 1, \"root\": \"file://%s\", "
                     "\"info\": \"file://%s/lines.csv\"}], \"favs\": [%s]}",
                     folder.c_str(), folder.c_str(), favs.c_str());
        std::fclose(index);
    }
    ~Fixture() {
        fs::remove_all(folder);
        TB_FrameworkShutdown();
    }
    TB_Uri Uri(const std::string& name) { return TB_Uri(TB_String((folder + "/" + name).c_str())); }
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

void BM_LoadCsvLibrary100k(benchmark::State& state) {
    Fixture& fixture = Shared();
    for (auto _ : state) {
        auto* library = new TC_VoiceLibrary();
        library->Type = TC_VoiceLibraryType::Csv;
        library->InfoFilePath = fixture.Uri("lines.csv");
        TC_VoiceLoader::LoadLibrary(library, true);
        benchmark::DoNotOptimize(library->Voices.Count());
        library->Release();
    }
}
BENCHMARK(BM_LoadCsvLibrary100k)->Unit(benchmark::kMillisecond);

void BM_LoadIndex100kClips10kFavourites(benchmark::State& state) {
    Fixture& fixture = Shared();
    for (auto _ : state) {
        TC_VoiceLibraryList list;
        list.LoadIndex(fixture.Uri("voice-libs.json"), nullptr);
        benchmark::DoNotOptimize(list.Libraries().Count());
    }
}
BENCHMARK(BM_LoadIndex100kClips10kFavourites)->Unit(benchmark::kMillisecond);

}  // namespace
