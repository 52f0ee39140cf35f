#include <benchmark/benchmark.h>
#include <dirent.h>
#include <rapidjson/document.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "bench_ratio.h"
#include "tb_framework.h"
#include "tc_app_voice_lib.h"
#include "tc_voiceloader.h"

// Libraries of 10,000, 100,000 and 1,000,000 clips made by scripts/make_bench_libraries.py
// (nested: the table at the root, the clips in voice/<category>/; flat: table and clips in
// one folder), each with an index naming it and every tenth clip as a favourite. They are
// made on first use under $LUMOVOX_BENCH_LIBS (default /tmp/lumovox-libs) and kept.

namespace {

namespace fs = std::filesystem;

std::string LibraryFolder() {
    const char* folder = std::getenv("LUMOVOX_BENCH_LIBS");
    return folder && *folder ? folder : "/tmp/lumovox-libs";
}

std::string Fixture(const char* layout, int64_t clips) {
    std::string base = LibraryFolder() + "/" + layout + "-" + std::to_string(clips);
    if (!fs::exists(base + ".json")) {  // the index is written last
        std::string command = "python3 '" LUMOVOX_SOURCE_DIR
                              "/scripts/make_bench_libraries.py' --out '" +
                              LibraryFolder() + "' " + std::to_string(clips) + " > /dev/null";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "could not make %s\n", base.c_str());
            std::exit(1);
        }
    }
    return base;
}

TB_Uri UriOf(const std::string& path) {
    return TB_Uri(TB_String(path.c_str()));
}

void Framework() {
    static bool started = [] {
        TB_AppDescriptor descriptor;
        TB_FrameworkStartup(descriptor);
        std::atexit(TB_FrameworkShutdown);
        return true;
    }();
    benchmark::DoNotOptimize(started);
}

void CountClips(benchmark::State& state) {
    state.counters["clips"] = static_cast<double>(state.range(0));
    state.counters["per_clip"] = benchmark::Counter(
        static_cast<double>(state.range(0)),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// ---- the limits: list each folder once, read the table once, split the lines, look the
// names up in a hash set ----

std::string ReadWhole(const std::string& path) {
    std::string bytes;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        bytes.append(buffer, n);
    }
    std::fclose(in);
    return bytes;
}

std::unordered_set<std::string> ListOnce(const std::string& folder) {
    std::unordered_set<std::string> names;
    DIR* dir = opendir(folder.c_str());
    while (dirent* entry = readdir(dir)) {
        names.insert(entry->d_name);
    }
    closedir(dir);
    return names;
}

// Returns how many clips of the table exist; counts the favourites among their full paths.
int64_t TableLimit(const std::string& root, const std::string& table,
                   const std::unordered_set<std::string>* favourites = nullptr,
                   int64_t* marked = nullptr) {
    std::unordered_map<std::string, std::unordered_set<std::string>> folders;
    std::string bytes = ReadWhole(table);
    int64_t existing = 0;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::string_view line(bytes.data() + start, end - start);
        std::string_view relative = line.substr(0, line.find(','));
        size_t slash = relative.rfind('/');
        std::string folder = slash == std::string_view::npos
                                 ? root
                                 : root + "/" + std::string(relative.substr(0, slash));
        auto found = folders.find(folder);
        if (found == folders.end()) {
            found = folders.emplace(folder, ListOnce(folder)).first;
        }
        existing += found->second.count(
            std::string(slash == std::string_view::npos ? relative : relative.substr(slash + 1)));
        if (favourites) {
            *marked += favourites->count("file://" + root + "/" + std::string(relative));
        }
        start = end + 1;
    }
    return existing;
}

// ---- the loader ----

void BM_CsvLoad(benchmark::State& state) {
    Framework();
    std::string root = Fixture("nested", state.range(0));
    for (auto _ : state) {
        auto* library = new TC_VoiceLibrary();
        library->Type = TC_VoiceLibraryType::Csv;
        library->InfoFilePath = UriOf(root + "/lines.csv");
        TC_VoiceLoader::LoadLibrary(library, true);
        if (library->Voices.Count() != state.range(0) || !library->Voices[0]->Exists) {
            state.SkipWithError("the library did not load");
        }
        library->Release();
    }
    CountClips(state);
}

void BM_CsvLoad_Limit(benchmark::State& state) {
    std::string root = Fixture("nested", state.range(0));
    for (auto _ : state) {
        if (TableLimit(root, root + "/lines.csv") != state.range(0)) {
            state.SkipWithError("the limit found other clips");
        }
    }
    CountClips(state);
}

// A folder import of the flat layout: the table is found among all the clips.
void BM_FlatFolderLoad(benchmark::State& state) {
    Framework();
    std::string root = Fixture("flat", state.range(0));
    for (auto _ : state) {
        auto* library = new TC_VoiceLibrary();
        library->Type = TC_VoiceLibraryType::Folder;
        library->RootPath = UriOf(root);
        TC_VoiceLoader::LoadLibrary(library, true);
        if (library->Voices.Count() != state.range(0) || !library->Voices[0]->Exists) {
            state.SkipWithError("the library did not load");
        }
        library->Release();
    }
    CountClips(state);
}

void BM_FlatFolderLoad_Limit(benchmark::State& state) {
    std::string root = Fixture("flat", state.range(0));
    for (auto _ : state) {
        if (TableLimit(root, root + "/lines.csv") != state.range(0)) {
            state.SkipWithError("the limit found other clips");
        }
    }
    CountClips(state);
}

void BM_IndexLoad(benchmark::State& state) {
    Framework();
    std::string root = Fixture("nested", state.range(0));
    TB_Uri index = UriOf(root + ".json");
    for (auto _ : state) {
        TC_VoiceLibraryList list;
        list.LoadIndex(index, nullptr);
        if (list.Libraries().Count() != 1 || !list.Libraries()[0]->Voices[0]->Favorite) {
            state.SkipWithError("the index did not load");
        }
    }
    CountClips(state);
}

// The index limit: parse it, the table limit, and one hash look-up of each clip's full path.
void BM_IndexLoad_Limit(benchmark::State& state) {
    std::string root = Fixture("nested", state.range(0));
    for (auto _ : state) {
        std::string json = ReadWhole(root + ".json");
        rapidjson::Document document;
        document.Parse(json.c_str());
        std::unordered_set<std::string> favourites;
        for (const auto& favourite : document["favs"].GetArray()) {
            favourites.emplace(favourite.GetString(), favourite.GetStringLength());
        }
        int64_t marked = 0;
        TableLimit(root, root + "/lines.csv", &favourites, &marked);
        if (marked != state.range(0) / 10) {
            state.SkipWithError("the limit found other favourites");
        }
    }
    CountClips(state);
}

BENCHMARK(BM_CsvLoad)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CsvLoad_Limit)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlatFolderLoad)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlatFolderLoad_Limit)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndexLoad)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndexLoad_Limit)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return RunWithRatios(argc, argv);
}
