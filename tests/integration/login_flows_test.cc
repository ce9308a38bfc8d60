// The failures of the login and status flows against the emulated service, with a user who
// works the browser pages the flows open before answering the boxes that wait for them. The
// flows' good paths are shown end to end on the toolbar (toolbar_behaviour_test.cc).
#include "facebook/login_flows.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/text.h"
#include "tests/integration/emulated_service.h"
#include "tests/support/recording_user_shell.h"

namespace {

constexpr const char* kScenario = R"({
  "user": {"uid": "100001", "name": "Ann Example", "wall_count": 10}
})";

constexpr WindowHandle kOwner = 0x4242;
constexpr const wchar_t* kTitle = L"Morvane Zenlet";
constexpr std::uint32_t kInformation = message_style::kIconInformation;
constexpr std::uint32_t kError = message_style::kIconError;

const std::wstring kLoginWait = L"Please click OK after you have logged into Facebook.";
const std::wstring kLoginFailed = L"Your login attempt failed. Please login again.\n";
const std::wstring kPermissionWait =
    L"Please click OK after you have allowed Zenlet to update your Facebook status.";

FaultSpec ErrorFault(const std::string& method, int code, int count = 1) {
  FaultSpec fault;
  fault.strMethod = method;
  fault.kind = FaultKind::kErrorCode;
  fault.nErrorCode = code;
  fault.nCount = count;
  return fault;
}

class LoginFlowsTest : public ::testing::Test {
 protected:
  LoginFlowsTest() { NewShell(); }

  // A fresh record of boxes and pages, with a user who finishes in the browser whatever the
  // flow asks for before the box that waits for it (unless told not to).
  CRecordingUserShell& NewShell() {
    m_pShell = std::make_unique<CRecordingUserShell>();
    m_strLastAddress.clear();
    m_aLoggedInAtBox.clear();
    m_pShell->onMessage = [this](const ShownMessage& message) {
      m_aLoggedInAtBox.push_back(Client().IsLoggedIn());
      if (message.strText == kLoginWait && m_bUserLogsIn) {
        LogInOnTheLoginPage(Port(), QueryValue(m_strLastAddress, "auth_token"));
      }
      if (message.strText == kPermissionWait && m_bUserAllows) {
        AllowStatusUpdates(Port());
      }
    };
    m_pShell->onOpen = [this](const std::wstring& address) {
      m_strLastAddress = WideToUtf8(address);
    };
    return *m_pShell;
  }
  CRecordingUserShell& Shell() { return *m_pShell; }

  int Port() { return m_service.pEmulator->Port(); }
  CFacebookClient& Client() { return *m_service.pClient; }
  CRestEmulator& Emulator() { return *m_service.pEmulator; }

  std::vector<std::string> Methods() {
    std::vector<std::string> methods;
    for (const CallRecord& call : Emulator().Calls()) {
      methods.push_back(call.strMethod);
    }
    return methods;
  }
  int CallsOf(const std::string& method) {
    int count = 0;
    for (const std::string& name : Methods()) {
      count += name == method ? 1 : 0;
    }
    return count;
  }
  // The texts and icons of the boxes shown, after checking that each had the flow's owner
  // and title.
  std::vector<std::pair<std::wstring, std::uint32_t>> Boxes() {
    std::vector<std::pair<std::wstring, std::uint32_t>> boxes;
    for (const ShownMessage& message : Shell().Messages()) {
      EXPECT_EQ(message.owner, kOwner);
      EXPECT_EQ(message.strTitle, kTitle);
      boxes.emplace_back(message.strText, message.nStyle);
    }
    return boxes;
  }
  // Logged in, with the login's boxes and calls forgotten.
  void LogInFirst() {
    ASSERT_TRUE(Login(Client(), Shell(), kOwner));
    NewShell();
    Emulator().ClearCalls();
  }

  EmulatedService m_service{kScenario};
  std::unique_ptr<CRecordingUserShell> m_pShell;
  std::string m_strLastAddress;
  std::vector<bool> m_aLoggedInAtBox;  // whether the client held a session as each box opened
  bool m_bUserLogsIn = true;
  bool m_bUserAllows = true;
};

TEST_F(LoginFlowsTest, FailuresOfTheTokenOrTheSessionAreShownAsTheServiceReportedThem) {
  struct Case {
    const char* method;
    int code;
    std::size_t boxes;  // the error box is the last
    bool browserOpened;
  };
  for (const Case& c :
       {Case{"auth.createToken", 5, 1, false}, Case{"auth.getSession", 2, 3, true}}) {
    SCOPED_TRACE(c.method);
    NewShell();
    Emulator().InjectFault(ErrorFault(c.method, c.code));

    EXPECT_FALSE(Login(Client(), Shell(), kOwner));

    EXPECT_FALSE(Client().IsLoggedIn());
    const std::vector<std::pair<std::wstring, std::uint32_t>> boxes = Boxes();
    ASSERT_EQ(boxes.size(), c.boxes);
    EXPECT_EQ(boxes.back().second, kError);
    EXPECT_NE(boxes.back().first.find(L"Code: " + std::to_wstring(c.code)), std::wstring::npos);
    EXPECT_EQ(m_strLastAddress.empty(), !c.browserOpened);
  }
}

// A dead session is cleared before its box opens (it used to be cleared once the user had
// closed the box, which threw away a login made from another window meanwhile).
TEST_F(LoginFlowsTest, EachFailedPostTellsTheUserAndEndsTheSessionOnlyWhenItIsDead) {
  struct Case {
    int code;
    std::wstring text;  // empty: the service's error text with the code
    std::uint32_t icon;
    bool loggedInAfter;
  };
  const Case cases[] = {
      {102, L"Your session has expired. Facebook requires you to login again.\n", kInformation,
       false},
      {450, L"Your session has expired. Facebook requires you to login again.\n", kInformation,
       false},
      {100, kLoginFailed, kInformation, false},
      {1, L"", kError, true},
  };
  Emulator().Service().SetPermission("status_update", true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    if (!Client().IsLoggedIn()) {
      LogInFirst();
    }
    NewShell();
    Emulator().ClearCalls();
    Emulator().InjectFault(ErrorFault("users.setStatus", c.code));

    EXPECT_FALSE(UpdateStatus(Client(), Shell(), kOwner, std::wstring(L"is here")));

    const std::vector<std::pair<std::wstring, std::uint32_t>> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    if (c.text.empty()) {
      EXPECT_NE(boxes[0].first.find(L"Code: 1\n"), std::wstring::npos);
    } else {
      EXPECT_EQ(boxes[0].first, c.text);
    }
    EXPECT_EQ(boxes[0].second, c.icon);
    EXPECT_EQ(Client().IsLoggedIn(), c.loggedInAfter);
    EXPECT_EQ(m_aLoggedInAtBox, std::vector<bool>{c.loggedInAfter});
    EXPECT_EQ(CallsOf("facebook.users.setStatus"), 1);  // nothing is retried
  }
}

// Regression: a logout in another window while the post waited for the permission page left
// no session for the retry, which the service answered 102, and the user was shown "Code: 102"
// with advice to check that Zenlet is the latest version.
TEST_F(LoginFlowsTest, ALogoutWhileThePermissionPageWaitsEndsThePostWithNoRetryAndNoBox) {
  LogInFirst();
  const auto user = Shell().onMessage;
  Shell().onMessage = [&](const ShownMessage& message) {
    user(message);
    if (message.strText == kPermissionWait) {
      Client().ClearSession();  // the other window's logout
    }
  };

  EXPECT_FALSE(UpdateStatus(Client(), Shell(), kOwner, std::wstring(L"is leaving")));

  EXPECT_EQ(CallsOf("facebook.users.setStatus"), 1);
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes().back().first, kPermissionWait);
  EXPECT_FALSE(Client().IsLoggedIn());
}

}  // namespace
