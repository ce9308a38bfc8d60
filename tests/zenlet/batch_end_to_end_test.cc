// zenlet --batch as a script runs it: a separate process talking JSON Lines, against the
// emulated service running as a program of its own. The script plays the user and the
// browser: it answers the message boxes and works the pages the add-in opens.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/text.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/zenlet/batch_session.h"
#include "tools/zenlet/auto_browser.h"

namespace {

using json = nlohmann::json;
using namespace std::chrono_literals;

// A port that was free a moment ago: nothing listens there.
int UnusedPort() {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  EXPECT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), size), 0);
  EXPECT_EQ(getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size), 0);
  close(probe);
  return ntohs(address.sin_port);
}

bool LoggedIn(const json& toolbar) {
  return toolbar["logged_in"].get<bool>();
}

std::string MenuCaption(const json& toolbar, int id) {
  for (const json& item : toolbar["menu"]["items"]) {
    if (item["id"] == id) {
      return item["caption"];
    }
  }
  return "";
}

// The browser login as the user goes through it: the intro box, the login page, the box
// that waits for it.
void LogIn(CBatchRun& run, const CStandaloneService& service) {
  run.Send({{"cmd", "click"}, {"explorer", 1}, {"id", 2}});
  EXPECT_EQ(run.ExpectBox("In order to use Zenlet")["style"], 0x40);
  run.Send({{"cmd", "ok"}});
  const std::string url = run.Expect("open_url")["url"];
  EXPECT_EQ(url.rfind(service.Url() + "login.php?api_key=", 0), 0u) << url;
  run.ExpectBox("Please click OK after you have logged into Facebook.");
  EXPECT_TRUE(CAutoBrowser(service.Port()).Visit(Utf8ToWide(url)));
  run.Send({{"cmd", "ok"}});
  const json toolbar = run.Expect("toolbar", After("click"));
  EXPECT_TRUE(LoggedIn(toolbar));
  EXPECT_EQ(MenuCaption(toolbar, 3), "Logout from Zenlet (Dana Whitfield)");
  EXPECT_EQ(toolbar["facebook_button"]["caption"], "");
}

// How many events of `events` are named `name`.
int Count(const std::vector<json>& events, const std::string& name) {
  int count = 0;
  for (const json& event : events) {
    count += event.value("event", "") == name ? 1 : 0;
  }
  return count;
}

class BatchEndToEndTest : public ::testing::Test {
 protected:
  std::vector<std::string> Args(std::vector<std::string> more = {}) const {
    more.insert(more.begin(), {"--service", m_service.Url(), "--data-dir", m_data.Path()});
    return more;
  }

  CTempFolder m_data;
  CTempFolder m_files;
  CStandaloneService m_service{m_files.Path(), kScriptScenario};
};

TEST_F(BatchEndToEndTest, LogInPostAStatusThroughThePermissionPageAndPickFromTheDropDown) {
  CBatchRun run(Args());
  const json ready = run.Expect("ready");
  EXPECT_EQ(ready["service"], m_service.Url());
  EXPECT_EQ(ready["emulator"], false);
  const json first = run.Expect("toolbar");
  EXPECT_EQ(first["cause"], "start");
  EXPECT_FALSE(LoggedIn(first));
  EXPECT_EQ(first["facebook_button"]["caption"], "Login to Facebook...");
  EXPECT_EQ(first["facebook_button"]["face"]["pixels"].size(), 16u * 16u);
  EXPECT_FALSE(first["status"]["enabled"].get<bool>());
  EXPECT_EQ(first["notifications"]["items"], json::array({"No Notifications"}));

  LogIn(run, m_service);

  run.Send({{"cmd", "type"}, {"explorer", 1}, {"text", "is writing tests"}});
  run.ExpectBox("Facebook security policy requires");
  run.Send({{"cmd", "ok"}});
  const std::string authorize = run.Expect("open_url")["url"];
  EXPECT_NE(authorize.find("/authorize.php?"), std::string::npos) << authorize;
  run.ExpectBox("Please click OK after you have allowed Zenlet");
  EXPECT_TRUE(CAutoBrowser(m_service.Port()).Visit(Utf8ToWide(authorize)));
  run.Send({{"cmd", "ok"}});
  run.Expect("toolbar", After("type"));
  EXPECT_EQ(m_service.Outcomes("facebook.users.setStatus"), (std::vector<int>{250, 0}));
  EXPECT_EQ(m_service.Control("/_emu/state")["state"]["user"]["status"]["message"],
            "is writing tests");

  // The login asked for a check; the worker's pass and the next refresh fill the drop-down.
  const json filled = run.Expect(
      "toolbar", [](const json& bar) { return bar["notifications"]["text"] == "New Requests - 4"; },
      60s);
  const json& items = filled["notifications"]["items"];
  ASSERT_GE(items.size(), 9u);
  EXPECT_EQ(items[1], "New Messages - 2");
  EXPECT_EQ(items[6], "New Pokes - 1");
  EXPECT_EQ(items[8].get<std::string>().rfind("Marcus Hale is reading on the train. ", 0), 0u);
  EXPECT_TRUE(filled["notifications"]["enabled"].get<bool>());

  run.Send({{"cmd", "pick"}, {"explorer", 1}, {"index", 2}});
  EXPECT_EQ(run.Expect("open_url")["url"], m_service.Url() + "inbox/");
  run.Quit();
}

TEST_F(BatchEndToEndTest, ARestartKeepsTheSessionAndALogoutEndsIt) {
  {
    CBatchRun run(Args());
    LogIn(run, m_service);
    run.Quit();
  }
  m_service.Control("/_emu/permissions", {{"name", "status_update"}, {"granted", true}});
  {
    CBatchRun run(Args());
    EXPECT_TRUE(LoggedIn(run.Expect("toolbar")));
    // The stored session is the service's: a status goes through without a new login.
    run.Send({{"cmd", "type"}, {"explorer", 1}, {"text", "is back"}});
    run.Expect("toolbar", After("type"));
    EXPECT_EQ(m_service.Outcomes("facebook.users.setStatus"), (std::vector<int>{0}));
    EXPECT_EQ(m_service.Outcomes("facebook.auth.getSession"), (std::vector<int>{0}));

    run.Send({{"cmd", "click"}, {"explorer", 1}, {"id", 3}});
    const json after = run.Expect("toolbar", After("click"));
    EXPECT_FALSE(LoggedIn(after));
    EXPECT_EQ(after["facebook_button"]["caption"], "Login to Facebook...");
    run.Quit();
  }
  CBatchRun run(Args());
  EXPECT_FALSE(LoggedIn(run.Expect("toolbar")));
  run.Quit();
}

// Regression: a login from a second window while the first one's waited in its box ran a
// flow of its own; OK in the first window then failed with "Your login attempt failed." and
// both windows were logged out. Now the second click does nothing while the first waits.
TEST_F(BatchEndToEndTest, TwoLoginsAtOnceEndLoggedInInBothWindows) {
  CBatchRun run(Args({"--explorers", "2"}));
  run.Send({{"cmd", "click"}, {"explorer", 1}, {"id", 2}});
  run.ExpectBox("In order to use Zenlet");
  run.Send({{"cmd", "ok"}});
  const std::string url = run.Expect("open_url")["url"];
  run.ExpectBox("Please click OK after you have logged into Facebook.");
  run.Send({{"cmd", "click"}, {"explorer", 2}, {"id", 2}, {"ref", "second"}});
  const std::vector<json> meanwhile = run.Until(
      "toolbar", [](const json& toolbar) { return toolbar.value("ref", "") == "second"; });
  EXPECT_EQ(Count(meanwhile, "message_box"), 0);
  EXPECT_TRUE(CAutoBrowser(m_service.Port()).Visit(Utf8ToWide(url)));
  run.Send({{"cmd", "ok"}});
  EXPECT_TRUE(LoggedIn(run.Expect("toolbar", After("click", 1))));

  run.Send({{"cmd", "timer"}, {"ref", "tick"}});
  for (const int explorer : {1, 2}) {
    const json toolbar = run.Expect("toolbar", [explorer](const json& event) {
      return event.value("ref", "") == "tick" && event["explorer"] == explorer;
    });
    EXPECT_EQ(MenuCaption(toolbar, 3), "Logout from Zenlet (Dana Whitfield)") << explorer;
  }
  EXPECT_EQ(m_service.Outcomes("facebook.auth.createToken"), (std::vector<int>{0}));
  EXPECT_EQ(m_service.Outcomes("facebook.auth.getSession"), (std::vector<int>{0}));
  run.Quit();
}

// Regression: each window wrote the stored list of remembered statuses from a copy of its
// own, so after "is testing A" from one window and "is testing B" from another only B was
// there after a restart.
TEST_F(BatchEndToEndTest, StatusesPostedFromTwoWindowsAreBothRememberedAfterARestart) {
  m_service.Control("/_emu/permissions", {{"name", "status_update"}, {"granted", true}});
  {
    CBatchRun run(Args({"--explorers", "2"}));
    LogIn(run, m_service);
    run.Send({{"cmd", "timer"}});  // the second window shows the login
    run.Expect("toolbar", After("timer", 2));
    run.Send({{"cmd", "type"}, {"explorer", 1}, {"text", "is testing A"}});
    run.Send({{"cmd", "type"}, {"explorer", 2}, {"text", "is testing B"}, {"ref", "B"}});
    const json second = run.Expect("toolbar", [](const json& toolbar) {
      return toolbar.value("ref", "") == "B" && toolbar["explorer"] == 2;
    });
    EXPECT_EQ(second["status"]["items"][1], "is testing A");
    run.Quit();
  }
  CBatchRun run(Args());
  const json items = run.Expect("toolbar")["status"]["items"];
  ASSERT_GE(items.size(), 2u);
  EXPECT_EQ(items[0], "is testing B");
  EXPECT_EQ(items[1], "is testing A");
  run.Quit();
}

// Regression: the session reached the store only when a window that made its bar closed, or
// at a logout, so a login followed by a crash (or a kill, or Outlook's fast shut-down) left
// the next start logged out.
TEST_F(BatchEndToEndTest, ALoginSurvivesTheProcessBeingKilledRightAfterIt) {
  {
    CBatchRun run(Args());
    LogIn(run, m_service);
    run.Program().Signal(SIGKILL);
    run.Program().Wait();
  }
  CBatchRun run(Args());
  EXPECT_TRUE(LoggedIn(run.Expect("toolbar")));
  run.Quit();
}

// Regression: the built-in emulator started empty at every start, so the session the store
// kept was one it did not know: every call was answered 104, the drop-down never filled and
// a post showed "Code: 104". It now keeps its sessions, permissions and statuses beside the
// settings.
TEST_F(BatchEndToEndTest, AfterARestartTheBuiltInServiceStillKnowsTheSession) {
  const std::vector<std::string> args = {"--data-dir", m_data.Path()};
  {
    CBatchRun run(args);
    run.Send({{"cmd", "click"}, {"explorer", 1}, {"id", 2}});
    run.ExpectBox("In order to use Zenlet");
    run.Send({{"cmd", "ok"}});
    run.ExpectBox("Please click OK after you have logged into Facebook.");
    run.Send({{"cmd", "ok"}});
    EXPECT_TRUE(LoggedIn(run.Expect("toolbar", After("click"))));
    run.Send({{"cmd", "type"}, {"explorer", 1}, {"text", "is trying Zenlet"}});
    run.ExpectBox("Facebook security policy requires");
    run.Send({{"cmd", "ok"}});
    run.ExpectBox("Please click OK after you have allowed Zenlet");
    run.Send({{"cmd", "ok"}});
    run.Expect("toolbar", After("type"));
    run.Quit();
  }
  CBatchRun run(args);
  EXPECT_TRUE(LoggedIn(run.Expect("toolbar")));
  run.Send({{"cmd", "click"}, {"explorer", 1}, {"id", 4}});
  const json filled = run.Expect(
      "toolbar",
      [](const json& bar) {
        return bar["notifications"]["text"].get<std::string>().rfind("New Requests - ", 0) == 0;
      },
      60s);
  EXPECT_TRUE(filled["notifications"]["enabled"].get<bool>());
  run.Send({{"cmd", "type"}, {"explorer", 1}, {"text", "is back"}});
  EXPECT_EQ(Count(run.Until("toolbar", After("type")), "message_box"), 0);
  run.Quit();
}

// Regression: unticking the add-in in the COM Add-ins dialog left every bar in place, frozen
// but still answering clicks; ticking it again gave only the active window a bar.
TEST_F(BatchEndToEndTest, DisconnectTakesEveryControlAwayAndConnectGivesEachWindowOneBar) {
  CBatchRun run(Args({"--explorers", "2"}));
  run.Send({{"cmd", "disconnect"}});
  for (const int explorer : {1, 2}) {
    const json toolbar = run.Expect("toolbar", After("disconnect", explorer));
    for (const char* part : {"bar", "facebook_button", "status", "menu", "notifications"}) {
      EXPECT_TRUE(toolbar[part].is_null()) << explorer << " " << part;
    }
  }
  run.Send({{"cmd", "click"}, {"explorer", 1}, {"id", 10}});
  EXPECT_NE(run.Expect("error")["message"].get<std::string>().find("has no Zenlet bar"),
            std::string::npos);

  run.Send({{"cmd", "connect"}});
  for (const int explorer : {1, 2}) {
    const json toolbar = run.Expect("toolbar", After("connect", explorer));
    EXPECT_EQ(toolbar["menu"]["items"].size(), 6u) << explorer;
    EXPECT_FALSE(toolbar["notifications"].is_null()) << explorer;
  }
  // One About box for one click: a second one would take the second "ok".
  run.Send({{"cmd", "click"}, {"explorer", 1}, {"id", 10}});
  run.Send({{"cmd", "ok"}});
  run.Send({{"cmd", "ok"}});
  const std::vector<json> events = run.Until("error");
  EXPECT_EQ(Count(events, "message_box"), 1);
  EXPECT_NE(events.back()["message"].get<std::string>().find("no message box is open"),
            std::string::npos);
  run.Quit();
}

TEST_F(BatchEndToEndTest, BadCommandsGetAnErrorAndTheProgramGoesOn) {
  CBatchRun run(Args());
  run.Expect("toolbar");
  const std::pair<std::string, std::string> cases[] = {
      {"hello", "not valid JSON"},
      {"{}", "cmd: missing"},
      {R"({"cmd":"fly"})", "unknown command \"fly\""},
      {R"({"cmd":"click","explorer":1})", "id: missing"},
      {R"({"cmd":"click","explorer":7,"id":2})", "explorer 7 is not open (1 is open)"},
      {R"({"cmd":"click","explorer":1,"id":5})",
       "no control of the Zenlet bar has the command id 5"},
      {R"({"cmd":"pick","explorer":1,"index":2})", "item 2 is out of range"},
      {R"({"cmd":"choose","explorer":1,"index":1})", "item 1 is out of range"},
      {R"({"cmd":"ok"})", "no message box is open"},
      // The logout item is hidden while logged out, so the user cannot press it.
      {R"({"cmd":"click","explorer":1,"id":3})", "click: "},
  };
  for (const auto& [line, error] : cases) {
    run.SendLine(line);
    const json event = run.Expect("error");
    EXPECT_NE(event["message"].get<std::string>().find(error), std::string::npos)
        << line << " gave: " << event["message"];
  }
  // Still running, and still numbering explorers as they open.
  run.Send({{"cmd", "new_explorer"}});
  EXPECT_EQ(run.Expect("explorers")["open"], json::array({1, 2}));
  run.Send({{"cmd", "close"}, {"explorer", 1}});
  run.Send({{"cmd", "activate"}, {"explorer", 1}});
  EXPECT_NE(run.Expect("error")["message"].get<std::string>().find("explorer 1 is not open (2 is"),
            std::string::npos);
  run.Send({{"cmd", "snapshot"}, {"ref", {{"step", 12}}}});
  const json snapshot = run.Expect("toolbar", After("snapshot"));
  EXPECT_EQ(snapshot["explorer"], 2);
  EXPECT_EQ(snapshot["ref"], json({{"step", 12}}));
  run.Send({{"cmd", "close"}, {"explorer", 1}, {"ref", "again"}});
  EXPECT_EQ(run.Expect("error")["ref"], "again");
  // A line refused as it is read answers in its turn, behind the command before it, and
  // with its ref.
  run.Send({{"cmd", "snapshot"}, {"ref", "first"}});
  run.Send({{"cmd", "click"}, {"explorer", 2}, {"ref", "second"}});
  run.Expect("toolbar", [](const json& event) { return event.value("ref", "") == "first"; });
  const json refused = run.Expect("error");
  EXPECT_EQ(refused["ref"], "second");
  EXPECT_NE(refused["message"].get<std::string>().find("id: missing"), std::string::npos);
  run.Quit();
}

TEST_F(BatchEndToEndTest, CtrlCEndsItAtOnceEvenDuringAWait) {
  // Ctrl-C used to queue a quit behind the commands already sent, so a long wait held the
  // program until it was over.
  CBatchRun run(Args());
  run.Expect("toolbar");
  run.Send({{"cmd", "wait"}, {"ms", 600000}});
  run.Send({{"cmd", "new_explorer"}});
  run.Program().Signal(SIGINT);
  run.Expect("bye");
  EXPECT_EQ(run.Program().Wait(), 0) << run.Program().ErrorOutput(1s);
}

TEST_F(BatchEndToEndTest, AnUnreachableServiceGetsTheAddinsOwnBox) {
  const int port = UnusedPort();
  CBatchRun run(
      {"--service", "http://127.0.0.1:" + std::to_string(port) + "/", "--data-dir", m_data.Path()});
  run.Send({{"cmd", "click"}, {"explorer", 1}, {"id", 2}});
  const json box = run.ExpectBox("Unable to reach Facebook servers");
  EXPECT_EQ(box["style"].get<int>() & 0x10, 0x10);
  run.Send({{"cmd", "ok"}});
  EXPECT_FALSE(LoggedIn(run.Expect("toolbar", After("click"))));
  run.Quit();
}

TEST(ProgramStartTest, WhatCannotBeUsedStopsItWithAClearMessageAndCodeTwo) {
  CTempFolder folder;
  const std::string file = folder.Path() + "/a-file";
  std::ofstream(file) << "not a folder";
  httplib::Server holder;
  const int taken = holder.bind_to_any_port("127.0.0.1");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--data-dir", file + "/data"}, "the data directory " + file + "/data cannot be written"},
      {{"--port", std::to_string(taken)},
       "cannot serve the page on 127.0.0.1:" + std::to_string(taken) + ": the port is in use"},
      {{"--explorers", "many"}, "--explorers needs a number"},
      {{"--batch", "--open"}, "--batch serves no page"},
  };
  for (const auto& [args, message] : cases) {
    CChildProcess program(ZENLET_PROGRAM, args);
    EXPECT_EQ(program.Wait(), 2) << args[0];
    EXPECT_NE(program.ErrorOutput().find(message), std::string::npos)
        << args[0] << " said: " << program.ErrorOutput();
  }
}

}  // namespace
