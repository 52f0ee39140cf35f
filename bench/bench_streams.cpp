#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "tb_filestream.h"
#include "tb_streamreader.h"

namespace {

constexpr int kLines = 100000;
constexpr int kLineBytes = 100;

// 100,000 CSV lines of 100 bytes (10 MB), mixing ASCII and Japanese.
const std::string& CsvPath() {
    static const std::string path = [] {
        std::string file = "/tmp/lumovox-bench-" + std::to_string(getpid()) + ".csv";
        std::FILE* out = std::fopen(file.c_str(), "wb");
        std::string line;
        for (int i = 0; i < kLines; ++i) {
            line = "voice/clip_" + std::to_string(i) +
                   ".wav,\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86 " + std::to_string(i) +
                   ",\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF,";
            line.resize(kLineBytes - 1, 'x');
            line += "\n";
            std::fwrite(line.data(), 1, line.size(), out);
        }
        std::fclose(out);
        std::atexit([] { std::remove(CsvPath().c_str()); });
        return file;
    }();
    return path;
}

void BM_ReadLineUtf8Csv(benchmark::State& state) {
    TB_Uri uri(TB_String(CsvPath().c_str()));
    for (auto _ : state) {
        auto* stream = new TB_FileStream(uri, TB_FileMode::Read);
        TB_StreamReader reader(stream, TB_TextEncoding::Utf8);
        stream->Release();
        int lines = 0;
        while (reader.HasMore()) {
            reader.ReadLine()->Release();
            ++lines;
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(state.iterations() * kLines * kLineBytes);
}
BENCHMARK(BM_ReadLineUtf8Csv)->Unit(benchmark::kMillisecond);

// The limit: read the file once and find every line feed, nothing decoded.
void BM_ReadLineUtf8Csv_Limit(benchmark::State& state) {
    std::vector<char> buffer(64 * 1024);
    for (auto _ : state) {
        std::FILE* in = std::fopen(CsvPath().c_str(), "rb");
        int lines = 0;
        size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) {
            const char* p = buffer.data();
            const char* end = p + n;
            while ((p = static_cast<const char*>(std::memchr(p, '\n', end - p)))) {
                ++lines;
                ++p;
            }
        }
        std::fclose(in);
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(state.iterations() * kLines * kLineBytes);
}
BENCHMARK(BM_ReadLineUtf8Csv_Limit)->Unit(benchmark::kMillisecond);

// For comparison: the standard library's line reader, which copies but does not decode.
void BM_ReadLineUtf8Csv_Getline(benchmark::State& state) {
    for (auto _ : state) {
        std::ifstream in(CsvPath(), std::ios::binary);
        std::string line;
        int lines = 0;
        while (std::getline(in, line)) {
            ++lines;
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(state.iterations() * kLines * kLineBytes);
}
BENCHMARK(BM_ReadLineUtf8Csv_Getline)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return RunWithRatios(argc, argv);
}
