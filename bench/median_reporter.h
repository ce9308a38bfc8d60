// What the benchmarks that print comparisons share: a console reporter that keeps the median
// of each benchmark's repeated runs, and a main that prints the comparisons after the runs.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class CMedianReporter : public benchmark::ConsoleReporter {
 public:
  // Wall-clock and CPU time of one iteration, in microseconds.
  struct Times {
    double dRealUs = 0;
    double dCpuUs = 0;
  };

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" &&
          !run.error_occurred) {
        const double toUs = benchmark::GetTimeUnitMultiplier(benchmark::kMicrosecond) /
                            benchmark::GetTimeUnitMultiplier(run.time_unit);
        const std::string& args = run.run_name.args;
        m_mapMedian[run.run_name.function_name + (args.empty() ? "" : "/" + args)] = {
            run.GetAdjustedRealTime() * toUs, run.GetAdjustedCPUTime() * toUs};
      }
    }
  }

  // The median of the benchmark `name` ("BM_Name" or "BM_Name/arg:1"); null when it did not
  // run, failed or was not repeated.
  const Times* Median(const std::string& name) const {
    const auto found = m_mapMedian.find(name);
    return found == m_mapMedian.end() ? nullptr : &found->second;
  }

  // Prints the comparisons, once every benchmark has run.
  virtual void PrintSummary() const = 0;

 private:
  std::map<std::string, Times> m_mapMedian;
};

// Runs the benchmarks the command line chooses, reporting through `reporter`, then prints its
// summary.
inline int RunBenchmarksWithSummary(int argc, char** argv, CMedianReporter& reporter) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary();
  benchmark::Shutdown();
  return 0;
}
