#include <benchmark/benchmark.h>
#include <dirent.h>
#include <rapidjson/document.h>
#include <unistd.h>

#include <chrono>
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

// A table library of the nested layout, as the index loads it.
TC_VoiceLibrary* LoadCsv(const std::string& root) {
    auto* library = new TC_VoiceLibrary();
    library->Type = TC_VoiceLibraryType::Csv;
    library->InfoFilePath = UriOf(root + "/lines.csv");
    TC_VoiceLoader::LoadLibrary(library, true);
    return library;
}

// A folder import of the flat layout: the table is found among all the clips.
TC_VoiceLibrary* LoadFlat(const std::string& root) {
    auto* library = new TC_VoiceLibrary();
    library->Type = TC_VoiceLibraryType::Folder;
    library->RootPath = UriOf(root);
    TC_VoiceLoader::LoadLibrary(library, true);
    return library;
}

bool Loaded(const TC_VoiceLibrary* library, int64_t clips) {
    return library->Voices.Count() == clips && library->Voices[0]->Exists;
}

// Loads in a loop: the memory of the last load is at hand and the caches are warm, which
// favours small libraries. Releasing the library is not timed.
void Warm(benchmark::State& state, TC_VoiceLibrary* (*load)(const std::string&),
          const char* layout) {
    Framework();
    std::string root = Fixture(layout, state.range(0));
    for (auto _ : state) {
        TC_VoiceLibrary* library = load(root);
        state.PauseTiming();
        if (!Loaded(library, state.range(0))) {
            state.SkipWithError("the library did not load");
        }
        library->Release();
        state.ResumeTiming();
    }
    CountClips(state);
}

void BM_CsvLoad(benchmark::State& state) {
    Warm(state, LoadCsv, "nested");
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

void BM_FlatFolderLoad(benchmark::State& state) {
    Warm(state, LoadFlat, "flat");
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

// One load in a fresh process, as at start-up: no freed memory to take again, nothing in
// the caches. The process is this program run with --load-once; it reports its own time.
void Cold(benchmark::State& state, const char* what, const char* layout) {
    std::string root = Fixture(layout, state.range(0));
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        state.SkipWithError("cannot find this program");
        return;
    }
    self[length] = 0;
    for (auto _ : state) {
        std::string command = std::string("'") + self + "' --load-once " + what + " '" + root +
                              "' " + std::to_string(state.range(0));
        std::FILE* child = popen(command.c_str(), "r");
        double seconds = -1;
        char line[256];
        while (std::fgets(line, sizeof line, child)) {
            std::sscanf(line, "load-seconds %lf", &seconds);
        }
        if (pclose(child) != 0 || seconds < 0) {
            state.SkipWithError("the load in a fresh process failed");
            break;
        }
        state.SetIterationTime(seconds);
    }
    CountClips(state);
}

void BM_CsvLoadCold(benchmark::State& state) {
    Cold(state, "csv", "nested");
}
void BM_CsvLoadCold_Limit(benchmark::State& state) {
    Cold(state, "limit", "nested");
}
void BM_FlatFolderLoadCold(benchmark::State& state) {
    Cold(state, "flat", "flat");
}
void BM_FlatFolderLoadCold_Limit(benchmark::State& state) {
    Cold(state, "limit", "flat");
}

// The body of a --load-once process: the library stays loaded until the process ends.
int LoadOnce(const std::string& what, const std::string& root, int64_t clips) {
    Framework();
    auto start = std::chrono::steady_clock::now();
    bool ok;
    if (what == "limit") {
        ok = TableLimit(root, root + "/lines.csv") == clips;
    } else {
        ok = Loaded(what == "csv" ? LoadCsv(root) : LoadFlat(root), clips);
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("load-seconds %.9f\n", ok ? seconds : -1.0);
    std::fflush(stdout);
    _exit(ok ? 0 : 1);  // nothing to gain from freeing what the process leaves
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
BENCHMARK(BM_CsvLoadCold)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CsvLoadCold_Limit)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlatFolderLoadCold)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlatFolderLoadCold_Limit)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndexLoad)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndexLoad_Limit)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--load-once") {
        return LoadOnce(argv[2], argv[3], std::atoll(argv[4]));
    }
    return RunWithRatios(argc, argv);
}
