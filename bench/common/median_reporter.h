#pragma once
// The console reporter the benchmarks print their ratio tables from: it keeps
// each run's real time per iteration (in the run's time unit) and counters,
// taking the median when --benchmark_repetitions repeats the runs, so that a
// busy machine disturbs the ratios less.
#include <benchmark/benchmark.h>

#include <map>
#include <set>
#include <string>
#include <vector>

class MedianReporter : public benchmark::ConsoleReporter {
public:
    struct Result {
        double time;
        std::map<std::string, double> counters;
        double Counter(const std::string& name) const {
            auto it = counters.find(name);
            return it == counters.end() ? 0.0 : it->second;
        }
    };

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || (run.run_type != Run::RT_Iteration && !median)) continue;
            std::string name = run.run_name.str();
            if (!median && medians_.count(name)) continue;
            if (median) medians_.insert(name);
            Result& result = results_[name];
            result.time = run.GetAdjustedRealTime();
            for (const auto& counter : run.counters) result.counters[counter.first] = counter.second.value;
        }
    }

    // The result of a run by its name ("BM_Import/10000"), or null.
    const Result* Find(const std::string& name) const {
        auto it = results_.find(name);
        return it == results_.end() ? nullptr : &it->second;
    }

private:
    std::map<std::string, Result> results_;
    std::set<std::string> medians_;
};

// Runs the benchmarks the command line selects, reporting them through a
// MedianReporter, then prints the program's ratio table from it.
inline int RunWithRatios(int argc, char** argv, void (*printRatios)(const MedianReporter&)) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printRatios(reporter);
    benchmark::Shutdown();
    return 0;
}
