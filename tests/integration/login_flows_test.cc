// The login and status flows against the emulated service, with a user who works the
// browser pages the flows open before answering the boxes that wait for them.
#include "facebook/login_flows.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/text.h"
#include "settings/options.h"
#include "settings/session_store.h"
#include "tests/integration/emulated_service.h"
#include "tests/support/in_memory_data_protector.h"
#include "tests/support/in_memory_registry.h"
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
const std::wstring kPermissionRefused =
    L"Your status was not updated because you did not allow Zenlet update your Facebook status.";

// The value of `name` in the query of `address`.
std::string QueryValue(const std::string& address, const std::string& name) {
  const std::size_t at = address.find(name + "=");
  if (at == std::string::npos) {
    return {};
  }
  const std::size_t begin = at + name.size() + 1;
  return address.substr(begin, address.find('&', begin) - begin);
}

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
    m_pShell->onMessage = [this](const ShownMessage& message) {
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
  bool m_bUserLogsIn = true;
  bool m_bUserAllows = true;
};

TEST_F(LoginFlowsTest, ALoginThroughTheBrowserPageGivesASessionAndTheOwnRecord) {
  ASSERT_TRUE(Login(Client(), Shell(), kOwner));

  EXPECT_TRUE(Client().IsLoggedIn());
  {
    std::lock_guard<std::mutex> lock(Client().m_csState);
    EXPECT_EQ(Client().m_self.strName, L"Ann Example");
    EXPECT_EQ(Client().m_counts.nWallCount, 10);
  }
  const std::vector<std::pair<std::wstring, std::uint32_t>> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].first,
            L"In order to use Zenlet, you need to login to Facebook.\n\nZenlet will open a "
            L"browser window. In that window, please login to Facebook. After you have logged "
            L"in, return to Outlook to use Zenlet.\n\nClick OK to continue.");
  EXPECT_EQ(boxes[0].second, kInformation);
  EXPECT_EQ(boxes[1], std::make_pair(kLoginWait, kInformation));

  // The page carries the token exactly as the service issued it.
  const std::string token = QueryValue(m_strLastAddress, "auth_token");
  EXPECT_EQ(token.size(), 32u);
  EXPECT_EQ(m_strLastAddress, "http://127.0.0.1:" + std::to_string(Port()) + "/login.php?api_key=" +
                                  Client().m_strApiKey + "&auth_token=" + token + "&v=1.0");
  EXPECT_EQ(Methods(),
            (std::vector<std::string>{"facebook.auth.createToken", "facebook.auth.getSession",
                                      "facebook.fql.query"}));
}

TEST_F(LoginFlowsTest, OkBeforeTheBrowserLoginIsAFailedLoginAndLeavesTheClientLoggedOut) {
  m_bUserLogsIn = false;
  EXPECT_FALSE(Login(Client(), Shell(), kOwner));

  EXPECT_FALSE(Client().IsLoggedIn());
  const std::vector<std::pair<std::wstring, std::uint32_t>> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[2], std::make_pair(kLoginFailed, kInformation));
  std::lock_guard<std::mutex> lock(Client().m_csState);
  EXPECT_TRUE(Client().m_strAuthToken.empty());
}

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

TEST_F(LoginFlowsTest, AMissingPermissionIsGrantedInTheBrowserAndThePostRetriedOnce) {
  LogInFirst();
  ASSERT_TRUE(UpdateStatus(Client(), Shell(), kOwner, std::wstring(L"is testing")));

  EXPECT_EQ(CallsOf("facebook.users.setStatus"), 2);
  EXPECT_EQ(Shell().OpenedAddresses(),
            std::vector<std::wstring>{Utf8ToWide(GetAuthorizeUrl(Client()))});
  EXPECT_EQ(GetAuthorizeUrl(Client()), "http://127.0.0.1:" + std::to_string(Port()) +
                                           "/authorize.php?api_key=" + Client().m_strApiKey +
                                           "&v=1.0&ext_perm=status_update");
  const std::vector<std::pair<std::wstring, std::uint32_t>> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1], std::make_pair(kPermissionWait, kInformation));
  EXPECT_EQ(Emulator().Service().Snapshot().user.status.strMessage, "is testing");
}

TEST_F(LoginFlowsTest, APermissionStillMissingAfterTheBrowserIsReportedAsRefused) {
  LogInFirst();
  m_bUserAllows = false;
  EXPECT_FALSE(UpdateStatus(Client(), Shell(), kOwner, std::wstring(L"is testing")));

  EXPECT_EQ(CallsOf("facebook.users.setStatus"), 2);
  EXPECT_EQ(Boxes().back(), std::make_pair(kPermissionRefused, kInformation));
  EXPECT_TRUE(Client().IsLoggedIn());
}

TEST_F(LoginFlowsTest, APostWhileLoggedOutLogsInFirstAndAFailedLoginSendsNoStatus) {
  Emulator().Service().SetPermission("status_update", true);
  m_bUserLogsIn = false;
  EXPECT_FALSE(UpdateStatus(Client(), Shell(), kOwner, std::wstring(L"is out")));
  EXPECT_EQ(CallsOf("facebook.users.setStatus"), 0);
  EXPECT_EQ(Boxes().back(), std::make_pair(kLoginFailed, kInformation));

  m_bUserLogsIn = true;
  EXPECT_TRUE(UpdateStatus(Client(), Shell(), kOwner, std::wstring(L"is in")));
  EXPECT_EQ(CallsOf("facebook.users.setStatus"), 1);
  EXPECT_EQ(Emulator().Service().Snapshot().user.status.strMessage, "is in");
}

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
    EXPECT_EQ(CallsOf("facebook.users.setStatus"), 1);  // nothing is retried
  }
}

TEST_F(LoginFlowsTest, LogoutSendsNothingAndStoresTheEmptySession) {
  CInMemoryRegistry registry;
  CInMemoryDataProtector protector;
  CFBOpts options(&registry, &protector, nullptr);
  LogInFirst();
  SaveSessionToOptions(Client(), options);
  ASSERT_EQ(options.Save(), kRegOk);

  LogOut(Client(), options);

  EXPECT_FALSE(Client().IsLoggedIn());
  EXPECT_TRUE(Emulator().Calls().empty());
  CFBOpts reloaded(&registry, &protector, nullptr);
  ASSERT_EQ(reloaded.Load(), kRegOk);
  EXPECT_TRUE(reloaded.m_strSessionKey.empty());
  EXPECT_TRUE(reloaded.m_strSessionSecret.empty());
  EXPECT_TRUE(reloaded.m_strUid.empty());
  EXPECT_TRUE(reloaded.m_strUserName.empty());
}

}  // namespace
