#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tb_audioplayer.h"
#include "tb_framework.h"
#include "tb_soundpeaks.h"
#include "tc_soundinfo.h"

namespace {

namespace fs = std::filesystem;

// A working folder of its own, emptied at exit.
struct Scratch {
    Scratch() {
        char name[] = "/tmp/lumovox-bench-XXXXXX";
        Path = mkdtemp(name);
        TB_AppDescriptor descriptor;
        TB_FrameworkStartup(descriptor);
        TB_SetAudioOutput(TB_AudioOutput::Silent);
        TB_AudioPlayer warm;  // the media platform, started once as the program does
    }
    ~Scratch() { fs::remove_all(Path); }
    std::string Path;
};

Scratch& Work() {
    static Scratch scratch;
    return scratch;
}

// 16-bit PCM of a tone with a slow swell, so the outline has a shape.
void WriteWav(const std::string& path, double seconds, uint32_t rate, uint16_t channels) {
    auto frames = static_cast<uint64_t>(seconds * rate);
    std::ofstream out(path, std::ios::binary);
    auto put = [&out](uint32_t value, int size) {
        for (int i = 0; i < size; ++i) {
            out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
        }
    };
    uint32_t bytes = static_cast<uint32_t>(frames * channels * 2);
    out << "RIFF";
    put(36 + bytes, 4);
    out << "WAVEfmt ";
    put(16, 4);
    put(1, 2);
    put(channels, 2);
    put(rate, 4);
    put(rate * channels * 2, 4);
    put(channels * 2, 2);
    put(16, 2);
    out << "data";
    put(bytes, 4);
    std::vector<int16_t> block(static_cast<size_t>(rate) * channels);
    for (uint64_t done = 0; done < frames; done += rate) {
        uint64_t count = std::min<uint64_t>(rate, frames - done);
        for (uint64_t i = 0; i < count; ++i) {
            double t = static_cast<double>(done + i) / rate;
            auto value = static_cast<int16_t>(20000 * std::sin(t * 0.7) * std::sin(t * 2764.6));
            for (uint16_t c = 0; c < channels; ++c) {
                block[i * channels + c] = value;
            }
        }
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(count * channels * 2));
    }
}

const std::string& TenSecondWav() {
    static std::string path = [] {
        std::string p = Work().Path + "/ten.wav";
        WriteWav(p, 10, 48000, 2);
        return p;
    }();
    return path;
}

void Peaks(benchmark::State& state, const std::string& path) {
    std::atomic<bool> cancel{false};
    for (auto _ : state) {
        TB_SoundPeaks peaks;
        if (TB_DecodePeaks(path, cancel, nullptr, peaks) != TB_PeaksResult::Ready) {
            state.SkipWithError("not decoded");
            return;
        }
        state.counters["points"] = peaks.Count();
    }
}

// Request to ready with no cache: the whole clip decoded.
void BM_PeaksOfATenSecondStereoWav(benchmark::State& state) {
    Peaks(state, TenSecondWav());
}
BENCHMARK(BM_PeaksOfATenSecondStereoWav)->Unit(benchmark::kMillisecond);

void BM_PeaksOfATenSecondMp3(benchmark::State& state) {
    std::string mp3 = Work().Path + "/ten.mp3";
    if (!fs::exists(mp3) &&
        std::system(
            ("lame --quiet -b 128 '" + TenSecondWav() + "' '" + mp3 + "' 2> /dev/null").c_str()) !=
            0) {
        state.SkipWithError("lame is needed to make the MP3");
        return;
    }
    Peaks(state, mp3);
}
BENCHMARK(BM_PeaksOfATenSecondMp3)->Unit(benchmark::kMillisecond);

// Through the program's own path: asked on one thread, worked out on the other. Cold: a
// new cache folder each time; warm: the outline is read from the cache a new run finds.
void BM_OutlineAskedUntilReady(benchmark::State& state) {
    bool warm = state.range(0) != 0;
    int run = 0;
    std::string cache = Work().Path + "/outline-cache";
    for (auto _ : state) {
        state.PauseTiming();
        if (!warm) {
            cache = Work().Path + "/outline-cache-" + std::to_string(run++);
        }
        {
            TC_SoundInfo info(cache);
            std::shared_ptr<const TB_SoundPeaks> peaks;
            state.ResumeTiming();
            info.Peaks(TenSecondWav(), peaks);
            info.WaitIdle(60000);
            if (info.Peaks(TenSecondWav(), peaks) != TC_SoundInfo::PeaksState::Ready) {
                state.SkipWithError("not ready");
            }
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OutlineAskedUntilReady)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("warm")
    ->Unit(benchmark::kMillisecond);

// Lengths of 10,000 short WAV files, none known before.
void BM_LengthsOfTenThousandWavs(benchmark::State& state) {
    std::string folder = Work().Path + "/many";
    std::vector<std::string> paths;
    fs::create_directories(folder);
    WriteWav(folder + "/seed.wav", 1.5, 44100, 1);
    for (int i = 0; i < 10000; ++i) {
        paths.push_back(folder + "/clip" + std::to_string(i) + ".wav");
        fs::copy_file(folder + "/seed.wav", paths.back(), fs::copy_options::overwrite_existing);
    }
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TC_SoundInfo info(Work().Path + "/lengths-cache-" + std::to_string(run++));
        state.ResumeTiming();
        info.Prefetch(paths);
        info.WaitIdle(600000);
        state.PauseTiming();
        if (info.Duration(paths.back(), false) != 1.5) {
            state.SkipWithError("a length is wrong");
        }
        state.ResumeTiming();
    }
    state.counters["per_file_us"] = benchmark::Counter(
        10000, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LengthsOfTenThousandWavs)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The length of a clip whose header is not read directly (AAC in MP4): the pipeline's preroll.
void BM_LengthFromThePipeline(benchmark::State& state) {
    std::string path = std::string(LUMOVOX_SOURCE_DIR) + "/tests/data/audio/aac-stereo-44100.m4a";
    for (auto _ : state) {
        if (TB_ReadSoundDuration(path) <= 0) {
            state.SkipWithError("no length");
            return;
        }
    }
}
BENCHMARK(BM_LengthFromThePipeline)->Unit(benchmark::kMillisecond);

long ResidentKiB() {
    long pages = 0, resident = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Ten minutes and an hour of sound, as WAV and as MP3: the outline comes in steps, and memory does
// not follow the length (resident size sampled every 2 ms by a thread of its own).
void BM_PeaksOfALongClip(benchmark::State& state) {
    std::string wav = Work().Path + "/hour.wav";
    std::string path = wav;
    WriteWav(wav, 60.0 * static_cast<double>(state.range(1)), 8000, 1);
    if (state.range(0) != 0) {
        path = Work().Path + "/hour.mp3";
        if (std::system(
                ("lame --quiet -m m -b 32 '" + wav + "' '" + path + "' 2> /dev/null").c_str()) !=
            0) {
            state.SkipWithError("lame is needed to make the MP3");
            return;
        }
        fs::remove(wav);
    }
    std::atomic<bool> cancel{false};
    for (auto _ : state) {
        long before = ResidentKiB();
        std::atomic<long> most{before};
        std::atomic<bool> done{false};
        std::thread sampler([&] {
            while (!done.load()) {
                most = std::max(most.load(), ResidentKiB());
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        int steps = 0;
        double firstStep = -1;
        auto start = std::chrono::steady_clock::now();
        TB_SoundPeaks peaks;
        TB_PeaksResult result = TB_DecodePeaks(
            path, cancel,
            [&](const TB_SoundPeaks&) {
                if (steps++ == 0) {
                    firstStep = std::chrono::duration<double, std::milli>(
                                    std::chrono::steady_clock::now() - start)
                                    .count();
                }
            },
            peaks);
        done = true;
        sampler.join();
        if (result != TB_PeaksResult::Ready) {
            state.SkipWithError("not decoded");
            return;
        }
        state.counters["steps"] = steps;
        state.counters["first_step_ms"] = firstStep;
        state.counters["rss_growth_KiB"] = static_cast<double>(most.load() - before);
        state.counters["points"] = peaks.Count();
        state.counters["file_MB"] = static_cast<double>(fs::file_size(path)) / 1e6;
    }
    fs::remove(path);
}
BENCHMARK(BM_PeaksOfALongClip)
    ->ArgsProduct({{0, 1}, {10, 60}})
    ->ArgNames({"mp3", "minutes"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
