// The toolbar's costs on Outlook's thread, with the add-in connected to the simulated Outlook
// and 100 friends in the activity picture: the 3000 ms refresh when nothing is new (target:
// under 50 microseconds per explorer) and a full rebuild of the notifications drop-down
// (target: under 2 ms), each beside the cost of building the activity signature alone.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "bench/median_reporter.h"
#include "monitor/activity_state.h"
#include "tests/addin/addin_host.h"

namespace {

constexpr int kFriends = 100;

// The add-in connected to a simulated Outlook with `explorers` windows, logged in, with a
// full activity picture and every toolbar refreshed.
struct ConnectedAddin {
  explicit ConnectedAddin(int explorers) {
    host.outlook.OpenExplorer();
    host.Connect();
    for (int i = 1; i < explorers; ++i) {
      host.outlook.OpenExplorer();  // each arrives through NewExplorer and gets its toolbar
    }
    host.LogIn(L"Dave Fetterman");
    FillActivity();
    host.outlook.SetInboxCount(12);
    // The first tick rebuilds what the connection left; the second takes in the live values
    // of the status list.
    host.Application().RefreshTimerProc();
    host.Application().RefreshTimerProc();
  }

  void FillActivity() {
    CFacebookClient& client = host.module->Client();
    CManualClock& clock = host.clock;
    std::lock_guard<std::mutex> lock(client.m_csState);
    client.m_self.strStatusMessage = L"is listening to Daft Punk - Around the World";
    client.m_self.strStatusTime = std::to_wstring(clock.Now() - 4000);
    client.m_counts = {1, 0, 1, 3, 0, 2, 121, 4};
    const LocalDate today = clock.Today();
    for (int i = 0; i < kFriends; ++i) {
      UserInfo info;
      info.strUid = std::to_wstring(1240000 + i);
      info.strName = L"Friend " + std::to_wstring(i) + L" Lastname";
      info.strStatusMessage =
          L"is thinking about status " + std::to_wstring(i) + L" and what comes after it";
      info.strStatusTime = std::to_wstring(clock.Now() - 97 * i);
      if (i % 25 == 0) {  // a few birthdays today
        info.wBirthdayMonth = static_cast<std::uint16_t>(today.nMonth);
        info.wBirthdayDay = static_cast<std::uint16_t>(today.nDay);
      }
      client.m_friends.push_back(info);
    }
  }

  morvane::CFBOutlookExplorer& FirstExplorer() {
    return *host.Application().m_explorers.m_list.front();
  }

  CAddinHost host;
};

void BM_ActivitySignature(benchmark::State& state) {
  ConnectedAddin addin(1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(BuildActivitySignature(addin.host.module->Client()));
  }
}

// The timer's tick over every explorer, with nothing new since the last one.
void BM_RefreshNothingNew(benchmark::State& state) {
  const int explorers = static_cast<int>(state.range(0));
  ConnectedAddin addin(explorers);
  if (static_cast<int>(addin.host.Application().m_explorers.m_list.size()) != explorers) {
    state.SkipWithError("not every explorer has a toolbar");
    return;
  }
  const std::int64_t rebuildsBefore =
      addin.host.outlook.Faults().CallCount("CommandBarComboBox.Clear");
  for (auto _ : state) {
    addin.host.Application().RefreshTimerProc();
  }
  if (addin.host.outlook.Faults().CallCount("CommandBarComboBox.Clear") != rebuildsBefore) {
    state.SkipWithError("a refresh with nothing new rebuilt a list");
  }
}

// The drop-down rebuilt from scratch: the signature, the 7 count lines, the birthday
// reminders and 100 status lines with their links, one Office call per line.
void BM_DropDownRebuild(benchmark::State& state) {
  ConnectedAddin addin(1);
  morvane::CFBOutlookExplorer& explorer = addin.FirstExplorer();
  for (auto _ : state) {
    explorer.m_notifications.m_strLastSignature.clear();
    explorer.m_notifications.RefreshLoggedIn(*explorer.m_spNotificationsCombo);
  }
  if (explorer.m_notifications.m_aLinks.size() < 7 + 1 + 4 + 1 + kFriends) {
    state.SkipWithError("the drop-down is not full");
  }
}

BENCHMARK(BM_ActivitySignature)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(BM_RefreshNothingNew)
    ->ArgName("explorers")
    ->Arg(1)
    ->Arg(5)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5);
BENCHMARK(BM_DropDownRebuild)->Unit(benchmark::kMicrosecond)->Repetitions(5);

// The costs beside the signature's, wall-clock and CPU time (which a loaded machine does not
// stretch).
class CToolbarReporter : public CMedianReporter {
 public:
  void PrintSummary() const override {
    const Times* signature = Median("BM_ActivitySignature");
    if (signature == nullptr) {
      return;
    }
    const Times base = *signature;
    std::printf("activity signature alone (100 friends): %.2f us (cpu %.2f us)\n", base.dRealUs,
                base.dCpuUs);
    const auto print = [&](const std::string& what, const Times* times, int per,
                           const char* target) {
      if (times == nullptr) {
        return;
      }
      const double real = times->dRealUs / per;
      const double cpu = times->dCpuUs / per;
      std::printf("%s: %.2f us (cpu %.2f us) = %.1f x the signature (cpu %.1f x); target %s\n",
                  what.c_str(), real, cpu, real / base.dRealUs, cpu / base.dCpuUs, target);
    };
    for (const int explorers : {1, 5}) {
      print("refresh with nothing new, per explorer of " + std::to_string(explorers),
            Median("BM_RefreshNothingNew/explorers:" + std::to_string(explorers)), explorers,
            "< 50 us");
    }
    print("full drop-down rebuild", Median("BM_DropDownRebuild"), 1, "< 2000 us");
  }
};

}  // namespace

int main(int argc, char** argv) {
  CToolbarReporter reporter;
  return RunBenchmarksWithSummary(argc, argv, reporter);
}
