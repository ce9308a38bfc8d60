// The options store on Linux: one save (a full options set in one transaction), one load at
// start-up, and the protection of one session value.
#include <benchmark/benchmark.h>

#include "common/logger.h"
#include "platform/openssl/aes_gcm_data_protector.h"
#include "platform/sqlite/sqlite_registry.h"
#include "settings/options.h"
#include "tests/support/temp_folder.h"

namespace {

struct Store {
  CTempFolder temp;
  CLogger logger{"opt", nullptr};
  CSqliteRegistry registry{temp.Path() + "/settings.db", logger};
  CAesGcmDataProtector protector{temp.Path() + "/protection.key", logger};

  CFBOpts Filled() {
    CFBOpts options(&registry, &protector, nullptr);
    options.m_dwToolbarRowIndex = 3;
    options.SetSession(
        {"3f9a0c1e5b7d-100001", "0123456789abcdef0123456789abcdef", "100001", L"Ann Example"});
    for (int i = 0; i < 10; ++i) {
      options.m_aStatusValues.emplace_back(L"is listening to a rather long song title " +
                                           std::to_wstring(i));
    }
    return options;
  }
};

void BM_SaveOptions(benchmark::State& state) {
  Store store;
  CFBOpts options = store.Filled();
  for (auto _ : state) {
    if (options.Save() != kRegOk) {
      state.SkipWithError("save failed");
    }
  }
}
BENCHMARK(BM_SaveOptions)->Unit(benchmark::kMillisecond);

void BM_LoadOptionsAtStartUp(benchmark::State& state) {
  Store store;
  store.Filled().Save();
  for (auto _ : state) {
    CSqliteRegistry registry(store.temp.Path() + "/settings.db", store.logger);
    CFBOpts options(&registry, &store.protector, nullptr);
    benchmark::DoNotOptimize(options.Load());
    benchmark::DoNotOptimize(options.GetSession());
  }
}
BENCHMARK(BM_LoadOptionsAtStartUp)->Unit(benchmark::kMicrosecond);

void BM_ProtectAndUnprotectASessionValue(benchmark::State& state) {
  Store store;
  for (auto _ : state) {
    const std::wstring sealed =
        ProtectString(&store.protector, L"0123456789abcdef0123456789abcdef");
    benchmark::DoNotOptimize(UnprotectString(&store.protector, sealed));
  }
}
BENCHMARK(BM_ProtectAndUnprotectASessionValue)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
