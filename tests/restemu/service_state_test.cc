// The service's state kept in a file across a restart, as the zenlet program keeps its
// built-in emulator's.
#include "tools/restemu/service_state.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "tests/restemu/emulator_fixture.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_folder.h"

namespace {

// An emulator of the test scenario that takes up what `file` holds and keeps its state there.
class CKeptEmulator {
 public:
  CKeptEmulator(const CServiceStateFile& file, std::string* problem)
      : m_emulator(ParseScenario(kTestScenario, 0)) {
    if (const std::optional<ServiceState> saved = file.Load(problem)) {
      m_emulator.Service().RestoreState(*saved);
    }
    m_emulator.Service().SetStateObserver(
        [file](const ServiceState& state) { EXPECT_TRUE(file.Save(state)); });
    m_pClient = std::make_unique<CRestTestClient>(m_emulator.Start());
  }

  CRestEmulator& Emulator() { return m_emulator; }
  CRestTestClient& Client() { return *m_pClient; }
  // The error code of a signed call, "0" for a success.
  std::string ErrorCode(const std::string& method, ParamMap params = {}) {
    const httplib::Result result = m_pClient->Call(method, std::move(params));
    const CXmlAnswer answer(result ? result->body : std::string());
    return answer.RootName() == "error_response" ? answer.Text("//fb:error_code") : "0";
  }

 private:
  CRestEmulator m_emulator;
  std::unique_ptr<CRestTestClient> m_pClient;
};

TEST(ServiceStateTest, ARestartGoesOnWithTheSessionsPermissionsAndStatusesItIssued) {
  CTempFolder folder;
  const CServiceStateFile file(folder.Path() + "/kept/emulator-state.json");
  std::string problem;
  std::string sessionKey;
  std::string sessionSecret;
  std::uint64_t lastCallId = 0;
  {
    CKeptEmulator first(file, &problem);
    first.Client().LogIn();
    first.Emulator().Service().SetPermission("status_update", true);
    ASSERT_EQ(first.ErrorCode("facebook.users.setStatus",
                              {{"status", "is kept"}, {"status_includes_verb", "true"}}),
              "0");
    sessionKey = first.Client().strSessionKey;
    sessionSecret = first.Client().strSessionSecret;
    lastCallId = first.Client().nCallId;
  }
  EXPECT_EQ(FileMode(file.Path()), 0600u);

  CKeptEmulator second(file, &problem);
  EXPECT_EQ(problem, "");
  CRestTestClient& client = second.Client();
  client.strSessionKey = sessionKey;
  client.strSessionSecret = sessionSecret;
  // The last call id the session used is known: an older one is refused, a newer one taken.
  client.nCallId = lastCallId - 5;
  EXPECT_EQ(second.ErrorCode("facebook.notifications.get"), "103");
  client.nCallId = lastCallId + 5;
  EXPECT_EQ(second.ErrorCode("facebook.notifications.get"), "0");
  EXPECT_EQ(second.ErrorCode("facebook.users.setStatus",
                             {{"status", "is back"}, {"status_includes_verb", "true"}}),
            "0");
  EXPECT_EQ(second.Emulator().Service().Snapshot().user.status.strMessage, "is back");
}

TEST(ServiceStateTest, AnUnreadableFileIsSetAsideAndTheServiceStartsFromItsScenario) {
  CTempFolder folder;
  const CServiceStateFile file(folder.Path() + "/emulator-state.json");
  const std::string unreadable = R"({"sessions": [{"session_key": 7}]})";
  std::ofstream(file.Path()) << unreadable;
  std::string problem;
  CKeptEmulator emulator(file, &problem);
  EXPECT_NE(problem.find("sessions[0].session_key: expected a text"), std::string::npos) << problem;
  EXPECT_EQ(ReadWholeFile(file.Path() + ".unreadable"), unreadable);
  EXPECT_EQ(emulator.Emulator().Service().Snapshot().nLiveSessions, 0u);
  emulator.Client().LogIn();
  EXPECT_EQ(ReadServiceState(ReadWholeFile(file.Path())).aSessions.size(), 1u);
}

}  // namespace
