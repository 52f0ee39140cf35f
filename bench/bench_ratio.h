#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>

// Prints, after the usual report, each benchmark next to its limit program: a benchmark
// named BM_X_Limit is the least work BM_X could do with the same arguments. With
// repetitions the medians are compared, otherwise the single runs.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (median || (run.run_type == Run::RT_Iteration && run.repetitions <= 1)) {
                m_times[{run.run_name.function_name, run.run_name.args}] =
                    run.GetAdjustedRealTime() * Scale(run.time_unit);
            }
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-40s %12s %12s %8s\n", "work (ms)", "ours", "limit", "ratio");
        for (const auto& [key, limit] : m_times) {
            const std::string suffix = "_Limit";
            const std::string& name = key.first;
            if (name.size() <= suffix.size() ||
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
                continue;
            }
            auto ours = m_times.find({name.substr(0, name.size() - suffix.size()), key.second});
            if (ours == m_times.end()) {
                continue;
            }
            std::string label = ours->first.first + (key.second.empty() ? "" : "/" + key.second);
            std::printf("%-40s %12.2f %12.2f %7.2fx\n", label.c_str(), ours->second, limit,
                        ours->second / limit);
        }
    }

private:
    static double Scale(benchmark::TimeUnit unit) {
        switch (unit) {
            case benchmark::kNanosecond:
                return 1e-6;
            case benchmark::kMicrosecond:
                return 1e-3;
            case benchmark::kMillisecond:
                return 1.0;
            case benchmark::kSecond:
                return 1e3;
        }
        return 1.0;
    }

    std::map<std::pair<std::string, std::string>, double> m_times;
};

inline int RunWithRatios(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
