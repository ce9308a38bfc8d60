// zenlet-restemu: serves the emulated REST service on a loopback port until interrupted.
//
//   zenlet-restemu [--port N] [--scenario FILE] [--tls] [--verbose]
//
// Prints the address it serves on (http://127.0.0.1:PORT) as its first line; --port 0, the
// default, picks a free port. Without --scenario it serves the built-in demo scenario. With
// --tls it serves HTTPS instead (https://127.0.0.1:PORT), with a certificate made at start
// for 127.0.0.1 and localhost, which it prints in PEM form right after the address.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>

#include "tools/restemu/rest_emulator.h"
#include "tools/restemu/scenario.h"

namespace {

int Usage(const char* problem) {
  std::fprintf(stderr,
               "zenlet-restemu: %s\n"
               "usage: zenlet-restemu [--port N] [--scenario FILE] [--tls] [--verbose]\n",
               problem);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int port = 0;
  std::string scenarioFile;
  bool bVerbose = false;
  bool bTls = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--port" && i + 1 < argc) {
      char* end = nullptr;
      const long value = std::strtol(argv[++i], &end, 10);
      if (*argv[i] == '\0' || *end != '\0' || value < 0 || value > 65535) {
        return Usage("--port needs a port number from 0 to 65535");
      }
      port = static_cast<int>(value);
    } else if (arg == "--scenario" && i + 1 < argc) {
      scenarioFile = argv[++i];
    } else if (arg == "--verbose") {
      bVerbose = true;
    } else if (arg == "--tls") {
      bTls = true;
    } else if (arg == "--help" || arg == "-h") {
      Usage("serves the emulated REST service on 127.0.0.1");
      return 0;
    } else {
      return Usage(("unknown or incomplete argument: " + arg).c_str());
    }
  }

  try {
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    const Scenario scenario = scenarioFile.empty() ? ParseScenario(DemoScenarioText(), now)
                                                   : LoadScenarioFile(scenarioFile, now);

    // SIGINT and SIGTERM are taken by sigwait below; every thread started from here on
    // inherits the blocked mask, so none of them is interrupted by the signal.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    CRestEmulator emulator(scenario);
    if (bVerbose) {
      emulator.SetCallObserver([](const CallRecord& call) {
        std::fprintf(stderr, "%s -> %d%s%s\n", call.strMethod.c_str(), call.nErrorCode,
                     call.strFault.empty() ? "" : " fault ", call.strFault.c_str());
      });
    }
    if (bTls) {
      emulator.StartTls(port);
      std::printf("%s\n%s", emulator.TlsAddress().c_str(), emulator.CertificatePem().c_str());
    } else {
      emulator.Start(port);
      std::printf("%s\n", emulator.Address().c_str());
    }
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    emulator.Stop();
    return 0;
  } catch (const CFieldError& error) {
    std::fprintf(stderr, "zenlet-restemu: scenario error: %s\n", error.what());
    return 2;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "zenlet-restemu: %s\n", error.what());
    return 1;
  }
}
