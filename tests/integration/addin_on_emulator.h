// The whole add-in inside the simulated Outlook, connected through OnConnection as Outlook
// connects it, talking over real HTTP to the emulated service in this process: libcurl and
// libxml2 as on Linux, a manual clock, an in-memory store, protector and folders, a
// recording log and scripted media players. The user's side of the browser pages (log in,
// allow the status permission) is done by the message box policy when the box that waits
// for it opens, unless the test says the user does not.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "addin/addin_module.h"
#include "platform/curl/curl_http_transport.h"
#include "platform/libxml2/libxml2_parser.h"
#include "platform/sim/sim_outlook.h"
#include "tests/support/in_memory_data_protector.h"
#include "tests/support/in_memory_file_system.h"
#include "tests/support/in_memory_registry.h"
#include "tests/support/manual_clock.h"
#include "tests/support/recording_log_backend.h"
#include "tests/support/recording_thread_hooks.h"
#include "tests/support/scripted_now_playing_source.h"
#include "tools/restemu/rest_emulator.h"

// The scenario's clock is fixed at this time, where the manual clock starts.
inline constexpr std::int64_t kEmulatorNow = 1700000000;

// Where the toolbar's controls stand on the "Zenlet" bar.
namespace zenlet_bar {
extern const SimControlPath kFacebookButton;
extern const SimControlPath kStatusBox;
extern const SimControlPath kLogin;
extern const SimControlPath kLogout;
extern const SimControlPath kCheckNow;
extern const SimControlPath kFeedback;
extern const SimControlPath kWebsite;
extern const SimControlPath kAbout;
extern const SimControlPath kNotifications;
}  // namespace zenlet_bar

class CAddinOnEmulator {
 public:
  // `scenarioJson` is the emulator's scenario without its "clock", which is fixed at
  // kEmulatorNow.
  explicit CAddinOnEmulator(const std::string& scenarioJson, SimOutlookOptions options = {});
  ~CAddinOnEmulator();

  // OnConnection; the explorers opened before it get their toolbars.
  void Connect();

  // What the user does at the browser page a box waits for.
  bool bUserLogsIn = true;
  bool bUserAllowsStatus = true;
  // Called with every box while it is open, after the user's browser step.
  std::function<void(const SimMessageBox&)> onBox;

  // The worker's poll, made here on the test's thread: notifications, own record, friends.
  void Poll();
  // Lets the background worker run its passes, one at a time on the manual clock, until
  // `done` holds; false when it still does not after twenty.
  bool RunWorkerUntil(const std::function<bool()>& done);
  // The 3000 ms timer's tick.
  void Refresh() { outlook.FireTimers(); }

  // The "Zenlet" bar of `explorer` and its controls as the user sees them.
  SimBarState Bar(int explorer = 1);
  SimControlState Control(const SimControlPath& path, int explorer = 1);
  std::vector<std::wstring> NotificationItems(int explorer = 1);
  std::vector<std::wstring> StatusItems(int explorer = 1);

  SimResult Press(const SimControlPath& path, int explorer = 1) {
    return outlook.PressButton(explorer, path);
  }
  SimResult PostStatus(const std::wstring& text, int explorer = 1) {
    return outlook.TypeText(explorer, zenlet_bar::kStatusBox, text, true);
  }

  // API calls of `method` ("facebook.users.setStatus") the service received.
  int Calls(const std::string& method);
  // The texts of the message boxes shown so far.
  std::vector<std::wstring> BoxTexts();
  bool LoggedIn() { return module->Client().IsLoggedIn(); }

  CRestEmulator emulator;
  CManualClock clock{kEmulatorNow};
  CRecordingLogBackend log;
  CInMemoryFileSystem files{L"/home/user/.local/share", L"/tmp", L'/'};
  CCurlHttpTransport http;
  CLibxml2Parser xml;
  CInMemoryRegistry registry;
  CInMemoryDataProtector protector;
  CScriptedNowPlayingSource firstPlayer;
  CScriptedNowPlayingSource secondPlayer;
  CRecordingThreadHooks hooks;
  CSimOutlook outlook;
  std::optional<CAddinModule> module;
  std::optional<CConnect> connect;

 private:
  std::optional<int> OnMessageBox(const SimMessageBox& box);
};
