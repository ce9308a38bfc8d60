// zenlet.dll as Outlook drives it, under Wine: the COM test Outlook (tools/com_outlook) loads
// the add-in's loopback build by its ProgID from a Wine prefix of the test's own (registered
// with regsvr32, the user's classes mirrored to the machine's as Windows' merged view shows
// them, the test browser as the handler of http, Wine's null display driver) and runs the
// same script as `zenlet --batch` does on Linux. The two give the same toolbars; the face comes
// both ways; Quit ends Outlook fast, with everything stored and nothing left behind; what a
// stand-in iTunes plays reaches the status box.
//
// A program of the Linux build that the Windows build's tests run: it finds the Windows
// programs through the environment CTest gives it (see tests/win32/CMakeLists.txt).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/text.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/zenlet/batch_session.h"
#include "tools/zenlet/auto_browser.h"

namespace {

using json = nlohmann::json;
using namespace std::chrono_literals;

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// A path of the Linux file system as Wine's drive Z: shows it.
std::string WinePath(const std::string& path) {
  std::string windows = "Z:" + path;
  for (char& c : windows) {
    c = c == '/' ? '\\' : c;
  }
  return windows;
}

// The Windows side: the wrapper that runs a program in the test's prefix, and the programs.
struct WindowsBuild {
  std::string strRunUnderWine = Variable("ZENLET_RUN_UNDER_WINE");
  std::string strOutlook = Variable("ZENLET_COM_OUTLOOK");
  std::string strDll = Variable("ZENLET_LOOPBACK_DLL");
  std::string strBrowser = Variable("ZENLET_TEST_BROWSER");
  std::string strITunes = Variable("ZENLET_ITUNES_STANDIN");

  // A Windows program's run to its end: its exit code; `output` takes what it printed.
  int Run(const std::vector<std::string>& command, std::string* output = nullptr) const {
    CChildProcess program(strRunUnderWine, command);
    std::string printed;
    while (std::optional<std::string> line = program.ReadLine(120s)) {
      printed += *line + "\n";
    }
    if (output != nullptr) {
      *output = printed;
    }
    return program.Wait(60s);
  }
  // The registry below `key`, as reg.exe lists it.
  std::string Query(const std::string& key) const {
    std::string listed;
    Run({"reg", "query", key, "/s"}, &listed);
    return listed;
  }
};

WindowsBuild& Windows() {
  static WindowsBuild build;
  return build;
}

// The test's prefix, made ready once for every test: the add-in registered for the user as
// regsvr32 does it, the user's class keys mirrored to the machine's (Wine reads only those
// through HKEY_CLASSES_ROOT), and the test browser as the handler of http.
class CPrefixEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const WindowsBuild& build = Windows();
    ASSERT_FALSE(build.strOutlook.empty()) << "run through the Windows build's CTest";
    setenv("ZENLET_WINEPREFIX", Variable("ZENLET_OUTLOOK_PREFIX").c_str(), 1);
    ASSERT_EQ(build.Run({"regsvr32", "/s", WinePath(build.strDll)}), 0);
    for (const char* key :
         {"Zenlet.Connect", "Zenlet.Connect.1", "CLSID\\{1F5EED0F-527E-4667-9796-E54B54A4A439}"}) {
      ASSERT_EQ(build.Run({"reg", "copy", std::string("HKCU\\Software\\Classes\\") + key,
                           std::string("HKLM\\Software\\Classes\\") + key, "/s", "/f"}),
                0)
          << key;
    }
    ASSERT_EQ(build.Run({"reg", "add", "HKLM\\Software\\Classes\\http\\shell\\open\\command", "/ve",
                         "/d", "\"" + WinePath(build.strBrowser) + "\" \"%1\"", "/f"}),
              0);
  }
};

const ::testing::Environment* const g_prefix =
    ::testing::AddGlobalTestEnvironment(new CPrefixEnvironment);

// The add-in as each Outlook runs it.
enum class Binding { kLinked, kCom };

class CSession {
 public:
  CSession(Binding binding, const CStandaloneService& service, const std::string& dataDir,
           std::vector<std::string> extra = {})
      : m_binding(binding),
        m_nPort(service.Port()),
        m_run(Start(binding, service, dataDir, extra)) {}

  CBatchRun& Run() { return *m_run; }

  // What the user does in the browser with a page the add-in opened: on Windows the browser
  // has done it before it tells Outlook; on Linux the script plays the browser.
  void Browse(const std::string& url) {
    if (m_binding == Binding::kLinked) {
      EXPECT_TRUE(CAutoBrowser(m_nPort).Visit(Utf8ToWide(url))) << url;
    }
  }

  // A box that opens with a page before or after it; the page is worked.
  void BoxAndPage(const std::string& boxText) {
    const std::vector<json> came =
        m_run->ExpectAll({{"message_box", BoxSaying(boxText)}, {"open_url", nullptr}});
    if (came.size() == 2) {
      Browse(came[1]["url"]);
    }
  }

 private:
  static std::unique_ptr<CBatchRun> Start(Binding binding, const CStandaloneService& service,
                                          const std::string& dataDir,
                                          const std::vector<std::string>& extra) {
    std::vector<std::string> args{"--service", service.Url()};
    args.insert(args.end(), extra.begin(), extra.end());
    if (binding == Binding::kLinked) {
      args.insert(args.end(), {"--batch", "--data-dir", dataDir});
      return std::make_unique<CBatchRun>(ZENLET_PROGRAM, args);
    }
    args.insert(args.begin(), Windows().strOutlook);
    return std::make_unique<CBatchRun>(Windows().strRunUnderWine, args);
  }

  Binding m_binding;
  int m_nPort;
  std::unique_ptr<CBatchRun> m_run;
};

json Command(const std::string& cmd, const std::string& ref, json fields = json::object()) {
  fields["cmd"] = cmd;
  fields["ref"] = ref;
  return fields;
}

std::function<bool(const json&)> Ending(const std::string& ref) {
  return [ref](const json& toolbar) { return toolbar.value("ref", "") == ref; };
}

// The browser login of the first explorer.
void LogIn(CSession& session) {
  CBatchRun& run = session.Run();
  run.Send(Command("click", "login", {{"explorer", 1}, {"id", 2}}));
  run.ExpectBox("In order to use Zenlet");
  run.Send(Command("ok", "intro"));
  session.BoxAndPage("Please click OK after you have logged into Facebook.");
  run.Send(Command("ok", "logged-in"));
  EXPECT_TRUE(run.Expect("toolbar", Ending("login"))["logged_in"].get<bool>());
}

// The first session: a login through the browser, a status post through the permission
// page, a check and the drop-down it fills, a pick, the refresh timer, a second window and
// back to the first, Quit.
void FirstSession(CSession& session) {
  CBatchRun& run = session.Run();
  run.Expect("toolbar", After("start"), 120s);
  LogIn(session);

  run.Send(Command("type", "post", {{"explorer", 1}, {"text", "is writing tests"}}));
  run.ExpectBox("Facebook security policy requires");
  run.Send(Command("ok", "permission"));
  session.BoxAndPage("Please click OK after you have allowed Zenlet");
  run.Send(Command("ok", "allowed"));
  run.Expect("toolbar", Ending("post"));

  run.Send(Command("click", "check", {{"explorer", 1}, {"id", 4}}));
  run.Expect(
      "toolbar", [](const json& bar) { return bar["notifications"]["text"] == "New Requests - 4"; },
      60s);
  run.Send(Command("snapshot", "checked"));
  run.Expect("toolbar", Ending("checked"));
  run.Send(Command("pick", "pick", {{"explorer", 1}, {"index", 2}}));
  run.ExpectAll({{"open_url", nullptr}, {"toolbar", Ending("pick")}});
  run.Send(Command("timer", "tick"));
  run.Expect("toolbar", Ending("tick"));
  run.Send(Command("new_explorer", "second"));
  run.Expect("toolbar", [](const json& bar) {
    return bar.value("ref", "") == "second" && bar["explorer"] == 2;
  });
  run.Send(Command("activate", "first-again", {{"explorer", 1}}));
  run.Expect("toolbar", [](const json& bar) {
    return bar.value("ref", "") == "first-again" && bar["explorer"] == 2;
  });
  run.Send(Command("quit", "quit"));
  run.Expect("bye", nullptr, 60s);
}

// The second: the session kept, a post without a new login, a logout, Quit.
void SecondSession(CSession& session) {
  CBatchRun& run = session.Run();
  EXPECT_TRUE(run.Expect("toolbar", After("start"), 120s)["logged_in"].get<bool>());
  run.Send(Command("type", "back", {{"explorer", 1}, {"text", "is back"}}));
  run.Expect("toolbar", Ending("back"));
  run.Send(Command("click", "logout", {{"explorer", 1}, {"id", 3}}));
  EXPECT_FALSE(run.Expect("toolbar", Ending("logout"))["logged_in"].get<bool>());
  run.Send(Command("quit", "quit"));
  run.Expect("bye", nullptr, 60s);
}

// The toolbars that began the run and ended each command, by the command's ref ("start" for
// the first), as text. The drop-down is left out where the worker's first check may or may
// not have come yet, which depends on the speed of the run.
std::map<std::string, std::vector<std::string>> Toolbars(const CBatchRun& run) {
  const std::vector<std::string> settled = {"start",  "checked",     "pick",  "tick",
                                            "second", "first-again", "logout"};
  std::map<std::string, std::vector<std::string>> toolbars;
  for (json event : run.Seen()) {
    if (event["event"] != "toolbar" || event["cause"] == "timer") {
      continue;
    }
    const std::string ref = event.value("ref", event["cause"].get<std::string>());
    if (std::find(settled.begin(), settled.end(), ref) == settled.end()) {
      event.erase("notifications");
    }
    toolbars[ref].push_back(event.dump());
  }
  return toolbars;
}

std::string AfterQuitReport(CBatchRun& run) {
  const std::string errors = run.Program().ErrorOutput(30s);
  const std::string tag = "after Quit";
  const std::size_t at = errors.find(tag);
  return at == std::string::npos ? "(no report): " + errors
                                 : errors.substr(at, errors.find('\n', at) - at);
}

class ComOutlookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Every test starts with a user who never ran the add-in.
    Windows().Run({"reg", "delete", "HKCU\\Software\\Morvane.com", "/f"});
  }

  CTempFolder m_files;
  CTempFolder m_linuxData;
};

TEST_F(ComOutlookTest, TheDllInTheComOutlookGivesTheToolbarsTheSameScriptGivesOnLinux) {
  std::map<Binding, std::vector<std::map<std::string, std::vector<std::string>>>> toolbars;
  for (const Binding binding : {Binding::kLinked, Binding::kCom}) {
    SCOPED_TRACE(binding == Binding::kCom ? "through COM" : "linked in");
    CStandaloneService service(m_files.Path(), kScriptScenario);
    {
      CSession first(binding, service, m_linuxData.Path());
      FirstSession(first);
      toolbars[binding].push_back(Toolbars(first.Run()));
      if (binding == Binding::kCom) {
        // Fast shut-down: Quit, no OnDisconnection, and the process ends cleanly with
        // nothing of Outlook's still held and the worker gone.
        EXPECT_EQ(AfterQuitReport(first.Run()),
                  "after Quit (fast shut-down): add-in threads running: 0; objects the add-in "
                  "holds: none");
        EXPECT_EQ(first.Run().Program().Wait(60s), 0);
        const std::string options = Windows().Query("HKCU\\Software\\Morvane.com\\Zenlet\\Options");
        for (const char* stored :
             {"FBSK", "FBSS", "FBUID", "TRI", "TL", "TP", "UserStatusValues", "is writing tests"}) {
          EXPECT_NE(options.find(stored), std::string::npos) << stored << " not in\n" << options;
        }
      } else {
        EXPECT_EQ(first.Run().Program().Wait(60s), 0);
      }
    }
    CSession second(binding, service, m_linuxData.Path());
    SecondSession(second);
    EXPECT_EQ(second.Run().Program().Wait(60s), 0) << second.Run().Program().ErrorOutput(1s);
    toolbars[binding].push_back(Toolbars(second.Run()));
    EXPECT_EQ(service.Outcomes("facebook.users.setStatus"), (std::vector<int>{250, 0, 0}));
    EXPECT_EQ(service.Outcomes("facebook.auth.getSession"), (std::vector<int>{0}));
  }
  ASSERT_EQ(toolbars[Binding::kCom].size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    const auto& expected = toolbars[Binding::kLinked][i];
    const auto& actual = toolbars[Binding::kCom][i];
    EXPECT_EQ(expected.size(), actual.size());
    for (const auto& [ref, bars] : expected) {
      const auto found = actual.find(ref);
      ASSERT_NE(found, actual.end()) << "no toolbar ended " << ref << " under COM";
      EXPECT_EQ(bars, found->second) << "the toolbars that ended " << ref << " differ";
    }
  }
}

TEST_F(ComOutlookTest, TheFaceIsPastedWhereOfficeTakesNoPictureAndTheUsersTextComesBack) {
  CStandaloneService service(m_files.Path(), kScriptScenario);
  json pictureFace;
  {
    CSession session(Binding::kCom, service, "");
    const json start = session.Run().Expect("toolbar", After("start"), 120s);
    pictureFace = start["facebook_button"];
    EXPECT_FALSE(pictureFace["pasted"].get<bool>());
    session.Run().Quit();
  }
  ASSERT_EQ(pictureFace["face"]["pixels"].size(), 16u * 16u);
  // Office 9 takes faces only from the clipboard; a later Office that refuses the picture
  // gets it there too.
  const std::vector<std::vector<std::string>> ways = {{"--outlook-version", "9.0.0.2711"},
                                                      {"--refuse-pictures"}};
  for (const std::vector<std::string>& way : ways) {
    SCOPED_TRACE(way[0]);
    std::vector<std::string> extra = way;
    extra.insert(extra.end(), {"--clipboard-text", "what the user copied"});
    CSession session(Binding::kCom, service, "", extra);
    const json button = session.Run().Expect("toolbar", After("start"), 120s)["facebook_button"];
    EXPECT_TRUE(button["pasted"].get<bool>());
    EXPECT_EQ(button["face"], pictureFace["face"]);
    // The mask marks the same pixels transparent (white here, the key colour there).
    const json& mask = button["mask"]["pixels"];
    const json& pictureMask = pictureFace["mask"]["pixels"];
    ASSERT_EQ(mask.size(), pictureMask.size());
    for (std::size_t i = 0; i < mask.size(); ++i) {
      EXPECT_EQ(mask[i] != 0, pictureMask[i] != 0) << i;
    }
    session.Run().Quit();
    EXPECT_NE(session.Run().Program().ErrorOutput(30s).find(
                  "the clipboard holds: \"what the user copied\""),
              std::string::npos);
  }
}

// Fires the refresh timer once a second until the status box's list holds `entry` (with
// `present` false: no longer holds it); false when that does not come within 30 s. The
// worker asks the players every 5 s at most, so two checks fit well within that.
bool StatusListComesTo(CBatchRun& run, const std::string& entry, bool present) {
  for (int tick = 0; tick < 30; ++tick) {
    const std::string ref = "tick-" + std::to_string(tick);
    run.Send(Command("timer", ref));
    const json items = run.Expect("toolbar", Ending(ref))["status"]["items"];
    if ((std::find(items.begin(), items.end(), entry) != items.end()) == present) {
      return true;
    }
    std::this_thread::sleep_for(1s);
  }
  return false;
}

TEST_F(ComOutlookTest, WhatTheStandInITunesPlaysIsInTheStatusBoxUntilItPauses) {
  const WindowsBuild& build = Windows();
  ASSERT_EQ(build.Run({build.strITunes, "/RegServer"}), 0);
  CChildProcess player(build.strRunUnderWine, {build.strITunes, "--stdin"});
  ASSERT_EQ(player.ReadLine(60s).value_or(""), "ready") << player.ErrorOutput(1s);
  ASSERT_TRUE(player.WriteLine("playing\tFuzzy Logic\tThe Testers"));
  ASSERT_EQ(player.ReadLine(20s).value_or(""), "ok");

  CStandaloneService service(m_files.Path(), kScriptScenario);
  CSession session(Binding::kCom, service, "");
  session.Run().Expect("toolbar", After("start"), 120s);
  LogIn(session);
  const std::string entry = "is listening to The Testers - Fuzzy Logic";
  EXPECT_TRUE(StatusListComesTo(session.Run(), entry, true));
  ASSERT_TRUE(player.WriteLine("paused"));
  ASSERT_EQ(player.ReadLine(20s).value_or(""), "ok");
  EXPECT_TRUE(StatusListComesTo(session.Run(), entry, false));
  session.Run().Quit();
}

}  // namespace
