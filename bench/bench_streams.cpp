#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "tb_filestream.h"
#include "tb_streamreader.h"

namespace {

// 100,000 CSV lines of about 100 bytes (10 MB), mixing ASCII and Japanese.
std::string MakeCsv() {
    std::string path = "/tmp/lumovox-bench-" + std::to_string(getpid()) + ".csv";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    std::string line;
    for (int i = 0; i < 100000; ++i) {
        line = "voice/clip_" + std::to_string(i) + ".wav,\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86 " +
               std::to_string(i) + ",\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF,";
        line.resize(99, 'x');
        line += "\n";
        std::fwrite(line.data(), 1, line.size(), out);
    }
    std::fclose(out);
    return path;
}

void BM_ReadLineUtf8Csv(benchmark::State& state) {
    static const std::string path = MakeCsv();
    TB_Uri uri(TB_String(path.c_str()));
    tb_int64 bytes = 0;
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
        bytes += 100 * 100000;
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_ReadLineUtf8Csv)->Unit(benchmark::kMillisecond);

}  // namespace
