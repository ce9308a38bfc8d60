// zenlet-com-outlook: the COM test Outlook. The simulated Outlook as Outlook's and Office's
// automation objects, with real windows, message boxes and timers, loading the add-in exactly
// as Outlook does (by its ProgID, registered with regsvr32) and driven by the driver protocol
// of `zenlet --batch`: commands as JSON lines on standard input, events on standard output.
// tools/com_outlook/README.md describes the options and what it reports after Quit.
#include <windows.h>
// After windows.h, whose types they need.
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/deployment.h"
#include "common/text.h"
#include "platform/sim/sim_clipboard.h"
#include "platform/win32/win32_clipboard.h"
#include "platform/win32/win32_window_system.h"
#include "tools/com_outlook/com_addin.h"
#include "tools/com_outlook/host_windows.h"
#include "tools/zenlet/batch_transport.h"
#include "tools/zenlet/command_line.h"
#include "tools/zenlet/driver.h"
#include "tools/zenlet/driver_events.h"
#include "tools/zenlet/event_hub.h"
#include "tools/zenlet/outlook_session.h"

namespace {

constexpr const char* kUsage =
    "usage: zenlet-com-outlook --service http://127.0.0.1:PORT/ [--explorers N]\n"
    "         [--outlook-version TEXT] [--auto-ok] [--progid NAME]\n"
    "         [--refuse-pictures] [--clipboard-text TEXT]\n"
    "       zenlet-com-outlook --measure N [--progid NAME]\n";

int Refuse(const std::string& problem) {
  std::fprintf(stderr, "zenlet-com-outlook: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

struct HostOptions {
  ProgramOptions program;
  std::wstring strProgId = L"Zenlet.Connect";
  int nMeasure = 0;  // connections to time instead of a session
  int nServicePort = 0;  // the emulator's, on 127.0.0.1
  // Office refuses every button picture, as one whose library had no such property would.
  bool bRefusePictures = false;
  // What the user copied before Outlook started; reported again after Quit.
  std::optional<std::wstring> clipboardText;
};

// The program's own options, then those it shares with the zenlet program.
std::optional<HostOptions> ReadOptions(int argc, char** argv, std::string* error) {
  HostOptions options;
  std::vector<std::string> shared;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--refuse-pictures") {
      options.bRefusePictures = true;
    } else if ((arg == "--progid" || arg == "--measure" || arg == "--clipboard-text") &&
               i + 1 < argc) {
      const std::string value = argv[++i];
      if (arg == "--progid") {
        options.strProgId = Utf8ToWide(value);
      } else if (arg == "--clipboard-text") {
        options.clipboardText = Utf8ToWide(value);
      } else {
        options.nMeasure = std::atoi(value.c_str());
        if (options.nMeasure < 1 || options.nMeasure > 1000) {
          *error = "--measure takes a number of connections from 1 to 1000";
          return std::nullopt;
        }
      }
    } else {
      shared.push_back(arg);
    }
  }
  const CommandLine line = ParseCommandLine(shared);
  if (!line.strError.empty()) {
    *error = line.strError;
    return std::nullopt;
  }
  options.program = line.options;
  const ProgramOptions& p = options.program;
  if (p.bHelp || p.bVersion) {
    *error = "";
    return std::nullopt;
  }
  if (p.nPagePort != 0 || !p.strDataDir.empty() || p.bOpen || p.bNoAutoBrowser) {
    *error = "the COM test Outlook serves no page and keeps no data directory of its own";
    return std::nullopt;
  }
  const std::optional<ServiceAddress> service = ParseServiceAddress(p.strServiceUrl);
  if (options.nMeasure == 0 && (!service || service->bTls || service->strHost != "127.0.0.1")) {
    *error = "--service names the emulator on http://127.0.0.1 the add-in's loopback build talks to";
    return std::nullopt;
  }
  options.nServicePort = service ? service->nPort : 0;
  return options;
}

// The system's clipboard and the simulated Office's, bridged around PasteFace and CopyFace.
void BridgeClipboards(CAutomationContext& context, CSimOutlook& outlook) {
  auto system = std::make_shared<CWin32Clipboard>();
  IClipboard* office = &outlook.Clipboard();
  context.beforePasteFace = [system, office] { CopyClipboardContents(*system, *office); };
  context.afterCopyFace = [system, office] { CopyClipboardContents(*office, *system); };
}

// CF_UNICODETEXT's bytes: UTF-16LE with its NUL.
std::vector<std::uint8_t> UnicodeText(const std::wstring& text) {
  std::vector<std::uint8_t> bytes;
  for (const wchar_t c : text + L'\0') {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
  }
  return bytes;
}

void CopyText(IClipboard& clipboard, const std::wstring& text) {
  if (clipboard.Open()) {
    clipboard.Empty();
    clipboard.SetData(clipboard_format::kUnicodeText, UnicodeText(text));
    clipboard.Close();
  }
}

std::string ClipboardText(IClipboard& clipboard) {
  std::vector<std::uint8_t> bytes;
  if (clipboard.Open()) {
    clipboard.GetData(clipboard_format::kUnicodeText, &bytes);
    clipboard.Close();
  }
  std::wstring text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<wchar_t>(bytes[i] | bytes[i + 1] << 8));
  }
  return WideToUtf8(text.c_str());
}

std::string Kinds(const std::map<std::string, int>& live) {
  std::string text;
  for (const auto& [kind, count] : live) {
    text += (text.empty() ? "" : ", ") + kind + " x" + std::to_string(count);
  }
  return text.empty() ? "none" : text;
}

// OnConnection with five explorers (none active) and OnDisconnection, `times` over, each on a
// fresh Outlook; the medians in milliseconds, as the Linux benchmark prints them.
int Measure(CHostWindows& host, const HostOptions& options) {
  std::vector<double> connections;
  std::vector<double> disconnections;
  for (int i = 0; i < options.nMeasure; ++i) {
    SimOutlookOptions simOptions;
    simOptions.pSystemWindows = &host;
    CSimOutlook outlook(host, simOptions);
    host.Attach(&outlook);
    outlook.SetMessageBoxPolicy(SimAnswerAtOnce());
    for (int e = 0; e < 5; ++e) {
      SimExplorerSetup setup;
      setup.bActivate = false;
      outlook.OpenExplorer(setup);
    }
    outlook.ClearActiveExplorer();
    CComAddin addin(outlook, std::make_shared<CAutomationContext>(), options.strProgId);
    std::string error;
    if (!addin.Create(&error)) {
      return Refuse(error);
    }
    addin.Connect();
    if (!outlook.ReadBar(5, kZenletBarName)) {
      return Refuse("the add-in built no toolbar in the fifth explorer");
    }
    addin.Disconnect();
    connections.push_back(addin.ConnectionMs());
    disconnections.push_back(addin.DisconnectionMs());
    for (int e = 1; e <= 5; ++e) {
      outlook.CloseExplorer(e);
    }
    host.Attach(nullptr);
  }
  const auto median = [](std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  };
  std::printf("OnConnection, five explorers: median %.2f ms over %d\n", median(connections),
              options.nMeasure);
  std::printf("OnDisconnection, idle runner: median %.2f ms over %d\n", median(disconnections),
              options.nMeasure);
  return 0;
}

int Run(CHostWindows& host, const HostOptions& options) {
  const ProgramOptions& program = options.program;
  // The loopback build of the add-in reads where its service is from its process.
  SetEnvironmentVariableW(L"ZENLET_SERVICE_PORT", std::to_wstring(options.nServicePort).c_str());

  SimOutlookOptions simOptions;
  simOptions.strVersion = Utf8ToWide(program.strOutlookVersion);
  simOptions.osVersion = CWin32WindowSystem().GetOsVersion();
  simOptions.pSystemWindows = &host;
  CSimOutlook outlook(host, simOptions);
  host.Attach(&outlook);
  if (options.bRefusePictures) {
    outlook.Faults().FailAlways("CommandBarButton.Picture=", DISP_E_MEMBERNOTFOUND);
    outlook.Faults().FailAlways("CommandBarButton.Mask=", DISP_E_MEMBERNOTFOUND);
  }
  CWin32Clipboard clipboard;
  if (options.clipboardText) {
    CopyText(clipboard, *options.clipboardText);
  }

  auto context = std::make_shared<CAutomationContext>();
  BridgeClipboards(*context, outlook);
  CComAddin addin(outlook, context, options.strProgId);
  std::string error;
  if (!addin.Create(&error)) {
    return Refuse(error);
  }

  CEventHub hub;
  CDriver::Settings settings;
  settings.ready = {{"version", kProductVersion},
                    {"outlook_version", program.strOutlookVersion},
                    {"service", program.strServiceUrl},
                    {"emulator", false},
                    {"data_dir", nullptr}};
  settings.bAutoOk = program.bAutoOk;
  settings.isLoggedIn = [&addin] { return addin.IsLoggedIn(); };
  OfferAddinSwitch(addin, &settings);
  CDriver driver(outlook, hub, std::move(settings));
  StartOutlookSession(outlook, addin, driver, program.nExplorers);

  CBatchTransport::Handlers handlers;
  handlers.submit = [&driver](std::string_view line) { driver.Submit(line); };
  handlers.inputEnded = [&driver] { driver.RequestQuit(); };
  handlers.refuse = [&hub](const std::string& why) {
    hub.Publish({{"event", "error"}, {"message", why}});
  };
  CBatchTransport batch(0, stdout, hub, std::move(handlers));
  batch.Start();
  outlook.Run();
  EndOutlookSession(addin, driver);
  batch.Stop();

  // What the add-in left behind once Outlook was done with it.
  addin.ReleaseOutlooksReferences();
  const std::string copied =
      options.clipboardText ? "; the clipboard holds: \"" + ClipboardText(clipboard) + "\"" : "";
  std::fprintf(stderr,
               "zenlet-com-outlook: after Quit (%s): add-in threads running: %d; objects the "
               "add-in holds: %s%s\n",
               addin.ShutsDownFast() ? "fast shut-down" : "disconnected", addin.ThreadsLeft(),
               Kinds(context->LiveObjects()).c_str(), copied.c_str());
  std::fflush(stderr);
  host.Attach(nullptr);
  // Outlook has gone: whatever the add-in releases from now on (its static destructors as
  // the process ends) would be released into freed objects.
  context->TearDown([](const std::string& kind, const char* call) {
    std::fprintf(stderr, "zenlet-com-outlook: the add-in called %s.%s after Outlook had gone\n",
                 kind.c_str(), call);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
  });
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const std::optional<HostOptions> options = ReadOptions(argc, argv, &error);
  if (!options && error.empty()) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!options) {
    return Refuse(error);
  }
  // Outlook's main thread: a single-threaded apartment, left only as the process ends.
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    return Refuse("COM could not be initialised");
  }
  CHostWindows host;
  const int code = options->nMeasure > 0 ? Measure(host, *options) : Run(host, *options);
  std::fflush(stdout);
  return code;
}
