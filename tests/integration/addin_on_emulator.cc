#include "tests/integration/addin_on_emulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>

#include "common/text.h"
#include "platform/sim/sim_platform.h"
#include "tests/integration/emulated_service.h"
#include "tools/restemu/scenario.h"

namespace zenlet_bar {
const SimControlPath kFacebookButton{L"Zenlet", 1, 0, L""};
const SimControlPath kStatusBox{L"Zenlet", 2, 0, L""};
const SimControlPath kLogin{L"Zenlet", 3, 1, L""};
const SimControlPath kLogout{L"Zenlet", 3, 2, L""};
const SimControlPath kCheckNow{L"Zenlet", 3, 3, L""};
const SimControlPath kFeedback{L"Zenlet", 3, 4, L""};
const SimControlPath kWebsite{L"Zenlet", 3, 5, L""};
const SimControlPath kAbout{L"Zenlet", 3, 6, L""};
const SimControlPath kNotifications{L"Zenlet", 4, 0, L""};
}  // namespace zenlet_bar

namespace {

constexpr const wchar_t* kLoginWait = L"Please click OK after you have logged into Facebook.";
constexpr const wchar_t* kPermissionWait =
    L"Please click OK after you have allowed Zenlet to update your Facebook status.";

// The scenario (a JSON object with at least one member) with its clock fixed at
// kEmulatorNow.
Scenario FixedClockScenario(const std::string& json) {
  std::string withClock = json;
  withClock.insert(withClock.rfind('}'),
                   ", \"clock\": {\"now\": " + std::to_string(kEmulatorNow) + "}");
  return ParseScenario(withClock, kEmulatorNow);
}

}  // namespace

CAddinOnEmulator::CAddinOnEmulator(const std::string& scenarioJson, SimOutlookOptions options)
    : emulator(FixedClockScenario(scenarioJson)), outlook(clock, std::move(options)) {
  emulator.Start();
  // Birthdays and the friends query's month follow the same date on both sides.
  const CalendarDate today = emulator.Service().Today();
  clock.SetToday({today.nYear, today.nMonth, today.nDay});
  Platform platform;
  platform.pClock = &clock;
  platform.pFileSystem = &files;
  platform.pLogBackend = &log;
  platform.pHttp = &http;
  platform.pXml = &xml;
  platform.pRegistry = &registry;
  platform.pProtector = &protector;
  platform.pFirstPlayer = &firstPlayer;
  platform.pSecondPlayer = &secondPlayer;
  platform.pThreadHooks = &hooks;
  WireSimulatedHost(outlook, &platform);
  module.emplace(platform, EmulatorDeployment(emulator.Port()));
  connect.emplace(module->CreateConnect());
  outlook.SetMessageBoxPolicy([this](const SimMessageBox& box) { return OnMessageBox(box); });
}

CAddinOnEmulator::~CAddinOnEmulator() {
  if (connect) {
    connect->OnDisconnection(0, nullptr);
  }
  connect.reset();
  module.reset();
  emulator.Stop();
}

void CAddinOnEmulator::Connect() {
  ASSERT_EQ(connect->OnConnection(outlook.ApplicationArgument(), 0, outlook.AddInInstanceArgument(),
                                  nullptr),
            S_OK);
}

std::optional<int> CAddinOnEmulator::OnMessageBox(const SimMessageBox& box) {
  if (box.strText == kLoginWait && bUserLogsIn) {
    const std::vector<std::wstring> opened = outlook.OpenedAddresses();
    EXPECT_FALSE(opened.empty());
    if (!opened.empty()) {
      EXPECT_TRUE(LogInOnTheLoginPage(emulator.Port(),
                                      QueryValue(WideToUtf8(opened.back()), "auth_token")));
    }
  }
  if (box.strText == kPermissionWait && bUserAllowsStatus) {
    EXPECT_TRUE(AllowStatusUpdates(emulator.Port()));
  }
  if (onBox) {
    onBox(box);
  }
  return kMessageAnswerOk;
}

void CAddinOnEmulator::Poll() {
  CFacebookClient& client = module->Client();
  client.GetNotifications();
  client.QueryFriends();
}

bool CAddinOnEmulator::RunWorkerUntil(const std::function<bool()>& done) {
  for (int pass = 0; pass < 20 && !done(); ++pass) {
    // Once the worker begins its next wait, the pass that the advance let go is over.
    const int begun = clock.WaitsBegun();
    clock.Advance(std::chrono::milliseconds(7000));
    if (!clock.WaitForWaitsBegun(begun + 1, std::chrono::seconds(10))) {
      break;
    }
  }
  return done();
}

SimBarState CAddinOnEmulator::Bar(int explorer) {
  std::optional<SimBarState> bar = outlook.ReadBar(explorer, L"Zenlet");
  EXPECT_TRUE(bar.has_value());
  return bar.value_or(SimBarState());
}

SimControlState CAddinOnEmulator::Control(const SimControlPath& path, int explorer) {
  const SimBarState bar = Bar(explorer);
  if (static_cast<std::size_t>(path.nControl) > bar.aControls.size()) {
    ADD_FAILURE() << "no control " << path.nControl;
    return {};
  }
  const SimControlState& control = bar.aControls[static_cast<std::size_t>(path.nControl - 1)];
  if (path.nMenuItem == 0) {
    return control;
  }
  if (static_cast<std::size_t>(path.nMenuItem) > control.aMenu.size()) {
    ADD_FAILURE() << "no menu item " << path.nMenuItem;
    return {};
  }
  return control.aMenu[static_cast<std::size_t>(path.nMenuItem - 1)];
}

std::vector<std::wstring> CAddinOnEmulator::NotificationItems(int explorer) {
  return Control(zenlet_bar::kNotifications, explorer).aItems;
}

std::vector<std::wstring> CAddinOnEmulator::StatusItems(int explorer) {
  return Control(zenlet_bar::kStatusBox, explorer).aItems;
}

int CAddinOnEmulator::Calls(const std::string& method) {
  int count = 0;
  for (const CallRecord& call : emulator.Calls()) {
    count += call.strMethod == method ? 1 : 0;
  }
  return count;
}

std::vector<std::wstring> CAddinOnEmulator::BoxTexts() {
  std::vector<std::wstring> texts;
  for (const SimMessageBox& box : outlook.MessageBoxes()) {
    texts.push_back(box.strText);
  }
  return texts;
}
