// An emulator on a free loopback port with a small scenario whose clock is fixed, and a
// client for it.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "tests/restemu/rest_test_client.h"
#include "tools/restemu/rest_emulator.h"

// 2023-11-14 22:13:20 UTC; the scenario fixes the date as well, whatever the time zone.
inline constexpr std::int64_t kTestNow = 1700000000;

inline constexpr char kTestScenario[] = R"({
  "clock": {"now": 1700000000, "today": "2023-11-14"},
  "user": {"uid": 5001, "name": "Ada Tester", "wall_count": 10},
  "friends": [
    {"uid": "5002", "name": "Ben Birthday", "status": {"message": "is here", "age": 100},
     "birthday": "{today}, 1990"},
    {"uid": "5003", "name": "Cy March", "birthday": "March 3"},
    {"uid": "5004", "name": "Di Later", "status": {"message": "is out", "age": 50},
     "birthday": "November 20, 1980"},
    {"uid": "5005", "name": "Ed Quiet", "birthday": "Nov 2"}
  ],
  "notifications": {
    "messages": {"unread": 5, "most_recent": 1699990000},
    "friend_requests": [2231342839, "2231511925"]
  },
  "session_lifetime": 3600
})";

class CEmulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_pEmulator = std::make_unique<CRestEmulator>(ParseScenario(kTestScenario, 0));
    m_pClient = std::make_unique<CRestTestClient>(m_pEmulator->Start());
  }

  CRestEmulator& Emulator() { return *m_pEmulator; }
  CRestTestClient& Client() { return *m_pClient; }

  // A signed call whose answer must be well-formed XML.
  CXmlAnswer CallXml(const std::string& method, ParamMap params = {}) {
    auto result = Client().Call(method, std::move(params));
    EXPECT_TRUE(result);
    CXmlAnswer answer(result ? result->body : std::string());
    EXPECT_TRUE(answer.IsWellFormed()) << (result ? result->body : "no answer");
    return answer;
  }

 private:
  std::unique_ptr<CRestEmulator> m_pEmulator;
  std::unique_ptr<CRestTestClient> m_pClient;
};

inline constexpr char kOwnRecordQuery[] =
    "SELECT uid,name,status,wall_count FROM user WHERE uid =5001";
inline constexpr char kFriendsQuery[] =
    "SELECT uid,name,status,birthday FROM user WHERE uid in (SELECT uid2 FROM friend WHERE "
    "uid1=5001) AND (strlen(status.message) > 0 OR strpos(lower(birthday), \"nov\") >= 0)ORDER "
    "BY status.time DESC LIMIT 100 ";
