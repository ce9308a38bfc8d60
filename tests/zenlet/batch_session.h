// The pieces of a scripted session with the driver protocol, for the tests that run a program
// speaking it (zenlet --batch, the COM test Outlook) as a separate process: the emulated
// service as a program of its own, and one run of the program read event by event.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/child_process.h"

// The scenario of the scripted sessions. Counts the drop-down's summary adds up: 2 messages,
// 1 poke, 1 friend request. Ages are hours, so that relative times read alike in runs a
// minute apart.
inline constexpr char kScriptScenario[] = R"({
  "user": {"uid": "100000123443210", "name": "Dana Whitfield",
           "status": {"message": "is at work", "age": 5400}, "wall_count": 42},
  "friends": [{"uid": "1240077", "name": "Marcus Hale",
               "status": {"message": "is reading on the train", "age": 7300}}],
  "notifications": {"messages": {"unread": 2, "age": 7300}, "pokes": {"unread": 1},
                    "friend_requests": ["1240090"]},
  "permissions": []
})";

// zenlet-restemu on a free port with the scenario `scenario` (JSON text).
class CStandaloneService {
 public:
  CStandaloneService(const std::string& folder, const std::string& scenario);

  int Port() const { return m_nPort; }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_nPort) + "/"; }

  // A request to the control interface (GET without a body, POST with one); its answer.
  nlohmann::json Control(const std::string& path, const nlohmann::json& body = nullptr) const;
  // The error codes of the calls of `method` so far, oldest first.
  std::vector<int> Outcomes(const std::string& method) const;

 private:
  std::unique_ptr<CChildProcess> m_pProgram;
  int m_nPort = 0;
};

// One run of a program speaking the driver protocol, read event by event. Every event read
// is kept, in order, for a look at the whole run afterwards.
class CBatchRun {
 public:
  using Test = std::function<bool(const nlohmann::json&)>;

  // zenlet --batch with `args`.
  explicit CBatchRun(std::vector<std::string> args);
  CBatchRun(const std::string& program, const std::vector<std::string>& args);

  void Send(const nlohmann::json& command);
  void SendLine(const std::string& line);

  // The next event named `name` for which `test` holds; the events before it are passed
  // over. Fails the test, listing what came, when none comes within `timeout`.
  nlohmann::json Expect(const std::string& name, const Test& test = nullptr,
                        std::chrono::milliseconds timeout = std::chrono::seconds(20));
  nlohmann::json ExpectBox(const std::string& textPart);
  // Every event from the last one taken up to and including the one Expect would give;
  // empty when it does not come.
  std::vector<nlohmann::json> Until(const std::string& name, const Test& test = nullptr,
                                    std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // Events that may come in either order: waits until each has come, reading on from the
  // last event taken; returns them in the order asked for.
  std::vector<nlohmann::json> ExpectAll(
      const std::vector<std::pair<std::string, Test>>& events,
      std::chrono::milliseconds timeout = std::chrono::seconds(20));

  // Quits as a script does and expects a clean end.
  void Quit();

  const std::vector<nlohmann::json>& Seen() const { return m_aSeen; }
  CChildProcess& Program() { return m_program; }

 private:
  CChildProcess m_program;
  std::vector<nlohmann::json> m_aSeen;
  std::size_t m_nTaken = 0;  // events of m_aSeen that an Expect has passed
};

// The toolbar event that ends a command named `name`.
CBatchRun::Test After(const std::string& name);
// The toolbar event of `explorer` that ends a command named `name`.
CBatchRun::Test After(const std::string& name, int explorer);
// A message box whose text holds `textPart`.
CBatchRun::Test BoxSaying(const std::string& textPart);
