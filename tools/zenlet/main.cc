// zenlet: the add-in on Linux, connected to a simulated Outlook as Outlook connects it, with
// the built-in emulator of the REST service (or a service at --service), shown in a page on
// 127.0.0.1 or driven by a script with --batch. `zenlet --help` lists the options and the
// commands; README.md describes the events.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "addin/addin_module.h"
#include "common/deployment.h"
#include "common/text.h"
#include "platform/curl/curl_http_transport.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/terminal_user_shell.h"
#include "platform/sim/sim_outlook.h"
#include "platform/sim/sim_platform.h"
#include "tools/restemu/rest_emulator.h"
#include "tools/restemu/scenario.h"
#include "tools/restemu/service_state.h"
#include "tools/zenlet/auto_browser.h"
#include "tools/zenlet/batch_transport.h"
#include "tools/zenlet/command_line.h"
#include "tools/zenlet/driver.h"
#include "tools/zenlet/event_hub.h"
#include "tools/zenlet/outlook_session.h"
#include "tools/zenlet/page_server.h"
#include "tools/zenlet/startup.h"

namespace {

// The add-in linked into the program, its module on the Linux adapters and the simulation's
// user shell, window system and clipboard.
class CLinkedAddin : public IAddinBinding {
 public:
  CLinkedAddin(CSimOutlook& outlook, const Platform& platform, const DeploymentConfig& deployment)
      : m_outlook(outlook), m_module(platform, deployment), m_connect(m_module.CreateConnect()) {}

  void ConnectAtStartup() override {
    m_connect.OnConnection(m_outlook.ApplicationArgument(), kConnectAtStartup,
                           m_outlook.AddInInstanceArgument(), nullptr);
    m_connect.OnStartupComplete(nullptr);
  }
  void ShutDown() override {
    m_connect.OnBeginShutdown(nullptr);
    m_connect.OnDisconnection(kDisconnectAtShutdown, nullptr);
  }
  void SwitchOff() override { m_connect.OnDisconnection(kDisconnectByUser, nullptr); }
  void SwitchOn() override {
    m_connect.OnConnection(m_outlook.ApplicationArgument(), kConnectAfterStartup,
                           m_outlook.AddInInstanceArgument(), nullptr);
  }
  bool IsLoggedIn() override { return m_module.Client().IsLoggedIn(); }

 private:
  CSimOutlook& m_outlook;
  CAddinModule m_module;
  CConnect m_connect;
};

// The built-in emulator keeps its state beside the settings, so the session that the store
// keeps across a restart is one it still knows. A file that cannot be read is set aside and
// the emulator starts from its scenario.
void KeepEmulatorState(CRestService& service) {
  const std::string folder = UserSettingsFolder();
  if (folder.empty()) {
    return;
  }
  const CServiceStateFile file(folder + "/emulator-state.json");
  std::string problem;
  if (const std::optional<ServiceState> saved = file.Load(&problem)) {
    service.RestoreState(*saved);
  } else if (!problem.empty()) {
    std::fprintf(stderr,
                 "zenlet: the built-in emulator's state cannot be read (%s); it starts "
                 "from the demo scenario\n",
                 problem.c_str());
  }
  service.SetStateObserver([file, bTold = false](const ServiceState& state) mutable {
    if (!file.Save(state) && !bTold) {
      bTold = true;
      std::fprintf(stderr, "zenlet: the built-in emulator's state cannot be written to %s\n",
                   file.Path().c_str());
    }
  });
}

int Refuse(const std::string& problem) {
  std::fprintf(stderr, "zenlet: %s\n", problem.c_str());
  return 2;
}

// SIGINT and SIGTERM quit Outlook as its last window's close would. They are blocked in
// every thread and taken here, polled so that the watch ends with the program.
class CSignalWatch {
 public:
  explicit CSignalWatch(CDriver& driver) : m_driver(driver) {
    m_thread = std::thread([this] { Watch(); });
  }
  ~CSignalWatch() {
    m_bStop = true;
    m_thread.join();
  }

  static void BlockInEveryThread() {
    sigset_t signals = Signals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  }

 private:
  static sigset_t Signals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
  }

  void Watch() {
    const sigset_t signals = Signals();
    const timespec pause{0, 100 * 1000 * 1000};
    while (!m_bStop) {
      if (sigtimedwait(&signals, nullptr, &pause) > 0) {
        m_driver.Interrupt();
      }
    }
  }

  CDriver& m_driver;
  std::atomic<bool> m_bStop{false};
  std::thread m_thread;
};

int Run(const ProgramOptions& options) {
  signal(SIGPIPE, SIG_IGN);
  CSignalWatch::BlockInEveryThread();

  std::string dataDir;
  std::string error;
  if (!options.strDataDir.empty()) {
    if (!PrepareDataDir(options.strDataDir, &dataDir, &error)) {
      return Refuse(error);
    }
    UseDataDir(dataDir);
  }

  CEventHub hub;
  // The driver takes the page's commands once it exists; the page's port is taken first, so
  // that a port in use stops the program before anything else starts.
  std::atomic<CDriver*> pDriver{nullptr};
  std::unique_ptr<CPageServer> pPage;
  if (!options.bBatch) {
    pPage = std::make_unique<CPageServer>(hub, [&pDriver](std::string_view line) {
      if (CDriver* driver = pDriver.load()) {
        driver->Submit(line);
      }
    });
    if (!pPage->Bind(options.nPagePort, &error)) {
      return Refuse(error);
    }
  }

  // The built-in service takes the API calls over TLS, with a certificate made now that the
  // add-in's transport trusts beside the system's roots; the login and permission pages a
  // person's browser opens stay on its plain loopback port, so no browser warns about it.
  std::unique_ptr<CRestEmulator> pEmulator;
  std::string serviceAddress = options.strServiceUrl;
  std::string pageAddress = options.strServiceUrl;
  if (options.strServiceUrl.empty()) {
    pEmulator = std::make_unique<CRestEmulator>(
        ParseScenario(DemoScenarioText(), static_cast<std::int64_t>(std::time(nullptr))));
    KeepEmulatorState(pEmulator->Service());
    pEmulator->Start(0);
    pEmulator->StartTls(0);
    serviceAddress = pEmulator->TlsAddress() + "/";
    pageAddress = pEmulator->Address() + "/";
  }

  CPosixPlatform adapters;
  Platform platform = adapters.Bundle();
  CCurlHttpTransport serviceTransport(pEmulator ? pEmulator->CertificatePem() : std::string());
  platform.pHttp = &serviceTransport;
  SimOutlookOptions outlookOptions;
  outlookOptions.strVersion = Utf8ToWide(options.strOutlookVersion);
  CSimOutlook outlook(*platform.pClock, outlookOptions);
  WireSimulatedHost(outlook, &platform);
  CLinkedAddin addin(
      outlook, platform,
      DeploymentForLocalService(GetDeploymentConfig(), serviceAddress, pageAddress));

  CDriver::Settings settings;
  settings.ready = {{"version", kProductVersion},
                    {"outlook_version", options.strOutlookVersion},
                    {"service", serviceAddress},
                    {"emulator", pEmulator != nullptr},
                    {"data_dir", dataDir.empty() ? nullptr : nlohmann::ordered_json(dataDir)}};
  settings.bAutoOk = options.bAutoOk;
  if (pEmulator && options.bBatch && !options.bNoAutoBrowser) {
    settings.browser = [browser = CAutoBrowser(pEmulator->Port())](const std::wstring& address) {
      browser.Visit(address);
    };
  }
  settings.isLoggedIn = [&addin] { return addin.IsLoggedIn(); };
  OfferAddinSwitch(addin, &settings);
  CDriver driver(outlook, hub, std::move(settings));
  StartOutlookSession(outlook, addin, driver, options.nExplorers);
  pDriver = &driver;

  std::unique_ptr<CBatchTransport> pBatch;
  if (options.bBatch) {
    CBatchTransport::Handlers handlers;
    handlers.submit = [&driver](std::string_view line) { driver.Submit(line); };
    handlers.inputEnded = [&driver] { driver.RequestQuit(); };
    handlers.refuse = [&hub](const std::string& why) {
      hub.Publish({{"event", "error"}, {"message", why}});
    };
    pBatch = std::make_unique<CBatchTransport>(0, stdout, hub, std::move(handlers));
    pBatch->Start();
  } else {
    std::printf("%s\n", pPage->PageAddress().c_str());
    std::fflush(stdout);
    std::fprintf(stderr,
                 "zenlet: Outlook runs with the add-in, talking to %s%s. Open the address "
                 "above in a browser; Ctrl-C quits.\n",
                 serviceAddress.c_str(), pEmulator ? " (the built-in emulator)" : "");
    if (options.bOpen && !CTerminalUserShell().OpenAddress(Utf8ToWide(pPage->PageAddress()))) {
      std::fprintf(stderr, "zenlet: no browser could be started; open the address yourself\n");
    }
  }

  {
    CSignalWatch signals(driver);
    outlook.Run();
    pDriver = nullptr;
    EndOutlookSession(addin, driver);
  }
  if (pBatch) {
    pBatch->Stop();
  }
  if (pPage) {
    pPage->Stop();
  }
  if (pEmulator) {
    pEmulator->Stop();
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (!line.strError.empty()) {
    std::fprintf(stderr, "zenlet: %s\n(zenlet --help lists the options)\n", line.strError.c_str());
    return 2;
  }
  if (line.options.bHelp) {
    std::fputs(HelpText().c_str(), stdout);
    return 0;
  }
  if (line.options.bVersion) {
    std::printf("zenlet %s\n", kProductVersion);
    return 0;
  }
  try {
    return Run(line.options);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "zenlet: %s\n", failure.what());
    return 1;
  }
}
