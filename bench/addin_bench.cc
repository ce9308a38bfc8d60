// The add-in's connection and disconnection inside the simulated Outlook, as Outlook times
// them: Outlook disables an add-in whose start-up median passes 1000 ms or whose shut-down
// passes 500 ms. Targets, 50 times under both: OnConnection with five explorers (five
// toolbars built) below 20 ms, OnDisconnection with an idle runner below 10 ms. The ratios to
// Outlook's limits are printed at the end.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "bench/median_reporter.h"
#include "tests/addin/addin_host.h"

namespace {

// The add-in's module on the test collaborators (no network, in-memory store, a log kept in
// memory) beside a simulated Outlook with five explorer windows, none of them active.
struct AddinSetUp {
  CAddinHost host;

  AddinSetUp() {
    for (int i = 0; i < 5; ++i) {
      SimExplorerSetup setup;
      setup.bActivate = false;
      host.outlook.OpenExplorer(setup);
    }
    host.outlook.ClearActiveExplorer();
  }
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void BM_OnConnectionFiveExplorers(benchmark::State& state) {
  for (auto _ : state) {
    AddinSetUp setUp;
    const auto before = std::chrono::steady_clock::now();
    const HRESULT hr = setUp.host.Connect();
    state.SetIterationTime(Seconds(before));
    if (hr != S_OK || !setUp.host.outlook.ReadBar(5, L"Zenlet")) {
      state.SkipWithError("the add-in did not connect with five toolbars");
      break;
    }
    setUp.host.Disconnect();
  }
}
BENCHMARK(BM_OnConnectionFiveExplorers)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

void BM_OnDisconnectionIdleRunner(benchmark::State& state) {
  for (auto _ : state) {
    AddinSetUp setUp;
    setUp.host.Connect();
    const auto before = std::chrono::steady_clock::now();
    setUp.host.Disconnect();
    state.SetIterationTime(Seconds(before));
    if (setUp.host.module->Application().m_runner.IsRunning()) {
      state.SkipWithError("the runner did not stop");
      break;
    }
  }
}
BENCHMARK(BM_OnDisconnectionIdleRunner)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

// Prints each benchmark's median beside Outlook's limit and the target.
class CLimitReporter : public CMedianReporter {
 public:
  void PrintSummary() const override {
    struct Limit {
      const char* name;
      const char* what;
      double outlookMs;
      double targetMs;
    };
    const Limit limits[] = {
        {"BM_OnConnectionFiveExplorers", "OnConnection, five explorers", 1000, 20},
        {"BM_OnDisconnectionIdleRunner", "OnDisconnection, idle runner", 500, 10},
    };
    for (const Limit& limit : limits) {
      const Times* found = Median(limit.name);
      if (found == nullptr || found->dRealUs <= 0) {
        continue;
      }
      const double medianMs = found->dRealUs / 1000;
      std::printf(
          "%s: median %.3f ms; Outlook's limit %.0f ms is %.0f times that (target: below %.0f "
          "ms, at least 50 times)\n",
          limit.what, medianMs, limit.outlookMs, limit.outlookMs / medianMs, limit.targetMs);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  CLimitReporter reporter;
  return RunBenchmarksWithSummary(argc, argv, reporter);
}
