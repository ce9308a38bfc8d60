// Signed API requests per second served by the emulator on loopback, beside a bare
// cpp-httplib handler that answers a fixed document, in the same run and on the same cores.
// Each request opens its own connection, as the add-in's requests do. The program ends with
// the emulator's rate as a share of the bare handler's (target: at least 0.5).
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <array>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "common/deployment.h"
#include "tools/restemu/rest_emulator.h"
#include "tools/restemu/signature.h"

namespace {

constexpr int kMaxThreads = 2;

struct ThreadSession {
  std::string strKey;
  std::string strSecret;
  std::uint64_t nCallId = 0;
};

class CServers {
 public:
  CServers()
      : m_emulator(
            ParseScenario(DemoScenarioText(), static_cast<std::int64_t>(std::time(nullptr)))) {
    m_emulator.Service().SetSessionLifetime(0);
    m_nEmulatorPort = m_emulator.Start();

    // The bare handler answers what the emulator answers, without reading the request.
    m_strFixedAnswer = Post(m_nEmulatorPort, SignedBody("facebook.notifications.get", Session(0)));
    m_bare.Post("/restserver.php", [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(m_strFixedAnswer, "text/xml; charset=utf-8");
    });
    m_nBarePort = m_bare.bind_to_any_port("127.0.0.1");
    m_bareThread = std::thread([this] { m_bare.listen_after_bind(); });
    while (!m_bare.is_running()) {
      std::this_thread::yield();
    }
  }

  ~CServers() {
    m_bare.stop();
    m_bareThread.join();
    m_emulator.Stop();
  }

  int EmulatorPort() const { return m_nEmulatorPort; }
  int BarePort() const { return m_nBarePort; }
  const std::string& FixedAnswer() const { return m_strFixedAnswer; }

  // Benchmark thread `index` has a session of its own, since call ids grow per session.
  ThreadSession& Session(int index) {
    ThreadSession& session = m_aSessions[static_cast<std::size_t>(index)];
    if (session.strKey.empty()) {
      ThreadSession application;
      const std::string token =
          Text(Post(m_nEmulatorPort, SignedBody("facebook.auth.createToken", application)));
      m_emulator.Service().ApproveToken(GetDeploymentConfig().strApiKey, token);
      const std::string answer =
          Post(m_nEmulatorPort,
               SignedBody("facebook.auth.getSession", application, {{"auth_token", token}}));
      session.strKey = Between(answer, "<session_key>", "</session_key>");
      session.strSecret = Between(answer, "<secret>", "</secret>");
    }
    return session;
  }

  // A signed body; every value here is made of characters a form carries as they are.
  static std::string SignedBody(const std::string& method, ThreadSession& session,
                                std::map<std::string, std::string> own = {}) {
    const DeploymentConfig& deployment = GetDeploymentConfig();
    own["api_key"] = deployment.strApiKey;
    own["call_id"] = std::to_string(++session.nCallId);
    own["method"] = method;
    own["v"] = "1.0";
    if (!session.strKey.empty()) {
      own["session_key"] = session.strKey;
    }
    CRequestParams params;
    std::string body;
    for (const auto& [name, value] : own) {
      params.Set(name, value);
      body += name + "=" + value + "&";
    }
    return body + "sig=" +
           ExpectedSignature(
               params, session.strSecret.empty() ? deployment.strAppSecret : session.strSecret);
  }

  static std::string Post(int port, const std::string& body) {
    httplib::Client client("127.0.0.1", port);
    auto result = client.Post("/restserver.php", body, "application/x-www-form-urlencoded");
    return result && result->status == 200 ? result->body : std::string();
  }

 private:
  static std::string Between(const std::string& text, const std::string& open,
                             const std::string& close) {
    const std::size_t start = text.find(open);
    if (start == std::string::npos) {
      return "";
    }
    const std::size_t from = start + open.size();
    return text.substr(from, text.find(close, from) - from);
  }
  static std::string Text(const std::string& answer) {
    const std::size_t open = answer.find("_response");
    const std::size_t start = answer.find('>', open) + 1;
    std::string text = answer.substr(start, answer.find("</", start) - start);
    text.erase(0, text.find_first_not_of(" \n"));
    text.erase(text.find_last_not_of(" \n") + 1);
    return text;
  }

  CRestEmulator m_emulator;
  int m_nEmulatorPort = 0;
  httplib::Server m_bare;
  std::thread m_bareThread;
  int m_nBarePort = 0;
  std::string m_strFixedAnswer;
  std::array<ThreadSession, kMaxThreads> m_aSessions;
};

CServers& Servers() {
  static std::once_flag once;
  static std::unique_ptr<CServers> servers;
  std::call_once(once, [] { servers = std::make_unique<CServers>(); });
  return *servers;
}

std::mutex g_sessionMutex;

void Serve(benchmark::State& state, bool bEmulator) {
  CServers& servers = Servers();
  ThreadSession* session = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_sessionMutex);
    session = &servers.Session(state.thread_index());
  }
  const int port = bEmulator ? servers.EmulatorPort() : servers.BarePort();
  for (auto _ : state) {
    const std::string body = CServers::SignedBody("facebook.notifications.get", *session);
    const std::string answer = CServers::Post(port, body);
    if (answer.find("<notifications_get_response") == std::string::npos) {
      state.SkipWithError("the server gave no notifications answer");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_BareHandler(benchmark::State& state) {
  Serve(state, false);
}
void BM_Emulator(benchmark::State& state) {
  Serve(state, true);
}

BENCHMARK(BM_BareHandler)->UseRealTime()->Threads(1)->Threads(kMaxThreads);
BENCHMARK(BM_Emulator)->UseRealTime()->Threads(1)->Threads(kMaxThreads);

// Remembers each run's rate, to print the emulator's share of the bare handler's at the end.
class CRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto rate = run.counters.find("items_per_second");
      // Spreads of repeated runs are no rates to compare.
      const bool bSpread = run.run_type == Run::RT_Aggregate && run.aggregate_name != "mean" &&
                           run.aggregate_name != "median";
      if (rate != run.counters.end() && !run.error_occurred && !bSpread) {
        m_mapRates[run.benchmark_name()] = rate->second.value;
      }
    }
  }

  void PrintRatios() const {
    for (const auto& [name, rate] : m_mapRates) {
      if (name.rfind("BM_Emulator", 0) != 0) {
        continue;
      }
      const std::string variant = name.substr(name.find('/'));
      const auto bare = m_mapRates.find("BM_BareHandler" + variant);
      if (bare != m_mapRates.end() && bare->second > 0) {
        std::printf("emulator / bare handler%s: %.0f / %.0f requests/s = %.2f (target >= 0.50)\n",
                    variant.c_str(), rate, bare->second, rate / bare->second);
      }
    }
  }

 private:
  std::map<std::string, double> m_mapRates;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  CRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
