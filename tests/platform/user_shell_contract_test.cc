// The user shell contract, run against every implementation this build has: the simulated
// Outlook's, the terminal one of the Linux host and the recording one of the tests.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "platform/posix/terminal_user_shell.h"
#include "tests/support/recording_user_shell.h"
#include "tests/support/simulated_outlook.h"

namespace {

struct UserShellHarness {
  std::shared_ptr<void> spOwner;
  IUserShell* pShell = nullptr;
  // A box can be answered without a person at a terminal.
  bool bAnswersBoxes = true;
  // Makes the next OpenAddress find no browser; null where that cannot happen.
  std::function<void()> loseBrowser;
};

UserShellHarness MakeSimulated() {
  auto owner = std::make_shared<CSimulatedOutlook>();
  CSimulatedOutlook* o = owner.get();
  return {owner, &owner->outlook.UserShell(), true,
          [o] { o->outlook.Faults().Inject("ShellExecute", E_FAIL); }};
}

UserShellHarness MakeTerminal() {
  // Boxes go to a scratch file; the "browser" is a program that starts and ends at once.
  struct Owner {
    Owner() : pOutput(std::tmpfile()), shell(pOutput) {
      const char* browser = std::getenv("BROWSER");
      bHadBrowser = browser != nullptr;
      strBrowser = bHadBrowser ? browser : "";
      setenv("BROWSER", "true", 1);
    }
    ~Owner() {
      if (bHadBrowser) {
        setenv("BROWSER", strBrowser.c_str(), 1);
      } else {
        unsetenv("BROWSER");
      }
      std::fclose(pOutput);
    }
    std::FILE* pOutput;
    CTerminalUserShell shell;
    bool bHadBrowser = false;
    std::string strBrowser;
  };
  auto owner = std::make_shared<Owner>();
  return {owner, &owner->shell, isatty(STDIN_FILENO) == 0,
          [] { setenv("BROWSER", "/nonexistent/zenlet-no-browser", 1); }};
}

UserShellHarness MakeRecording() {
  auto owner = std::make_shared<CRecordingUserShell>();
  return {owner, owner.get(), true, nullptr};
}

class UserShellContractTest : public ::testing::TestWithParam<UserShellHarness (*)()> {
 protected:
  void SetUp() override { m_harness = GetParam()(); }
  IUserShell& Shell() { return *m_harness.pShell; }

  UserShellHarness m_harness;
};

TEST_P(UserShellContractTest, AnOkBoxReturnsOkOnceAnswered) {
  if (!m_harness.bAnswersBoxes) {
    GTEST_SKIP() << "the box would wait for a person at this terminal";
  }
  EXPECT_EQ(Shell().ShowMessage(0, L"Text", L"Title", message_style::kOk), kMessageAnswerOk);
  EXPECT_EQ(Shell().ShowMessage(0, L"Error", L"Title",
                                message_style::kIconError | message_style::kTopMost),
            kMessageAnswerOk);
}

TEST_P(UserShellContractTest, AnAddressOpensWhileABrowserCanStart) {
  EXPECT_TRUE(Shell().OpenAddress(L"http://www.example.org/"));
  if (!m_harness.loseBrowser) {
    return;
  }
  m_harness.loseBrowser();
  EXPECT_FALSE(Shell().OpenAddress(L"http://www.example.org/"));
}

TEST_P(UserShellContractTest, NestedBusySpellsRestoreInReverseOrder) {
  const CursorHandle outer = Shell().ShowWaitCursor();
  const CursorHandle inner = Shell().ShowWaitCursor();
  Shell().RestoreCursor(inner);
  // The inner spell's end leaves the outer one's cursor showing.
  const CursorHandle during = Shell().ShowWaitCursor();
  EXPECT_EQ(during, inner);
  Shell().RestoreCursor(during);
  Shell().RestoreCursor(outer);
  const CursorHandle after = Shell().ShowWaitCursor();
  EXPECT_EQ(after, outer);
  Shell().RestoreCursor(after);
}

std::string ShellName(const ::testing::TestParamInfo<UserShellHarness (*)()>&) {
  return "Shell";
}

INSTANTIATE_TEST_SUITE_P(Simulated, UserShellContractTest, ::testing::Values(&MakeSimulated),
                         ShellName);
INSTANTIATE_TEST_SUITE_P(Terminal, UserShellContractTest, ::testing::Values(&MakeTerminal),
                         ShellName);
INSTANTIATE_TEST_SUITE_P(Recording, UserShellContractTest, ::testing::Values(&MakeRecording),
                         ShellName);

}  // namespace
