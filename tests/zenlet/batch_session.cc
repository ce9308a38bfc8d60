#include "tests/zenlet/batch_session.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <fstream>

using json = nlohmann::json;
using namespace std::chrono_literals;

CStandaloneService::CStandaloneService(const std::string& folder, const std::string& scenario) {
  const std::string file = folder + "/scenario.json";
  std::ofstream(file) << scenario;
  m_pProgram = std::make_unique<CChildProcess>(
      ZENLET_RESTEMU_PROGRAM, std::vector<std::string>{"--port", "0", "--scenario", file});
  const std::string address = m_pProgram->ReadLine(20s).value_or("");
  const std::string prefix = "http://127.0.0.1:";
  EXPECT_EQ(address.rfind(prefix, 0), 0u) << address << m_pProgram->ErrorOutput(1s);
  m_nPort = address.size() > prefix.size() ? std::stoi(address.substr(prefix.size())) : 0;
}

json CStandaloneService::Control(const std::string& path, const json& body) const {
  httplib::Client client("127.0.0.1", m_nPort);
  const httplib::Result answer = body.is_null()
                                     ? client.Get(path.c_str())
                                     : client.Post(path.c_str(), body.dump(), "application/json");
  EXPECT_TRUE(answer && answer->status == 200) << path;
  const json parsed = answer ? json::parse(answer->body, nullptr, false) : json();
  EXPECT_TRUE(parsed.is_object()) << path << ": " << (answer ? answer->body : "no answer");
  return parsed;
}

std::vector<int> CStandaloneService::Outcomes(const std::string& method) const {
  std::vector<int> codes;
  const json log = Control("/_emu/calls");
  for (const json& call : log["calls"]) {
    if (call["method"] == method) {
      codes.push_back(call["error_code"].get<int>());
    }
  }
  return codes;
}

namespace {

std::vector<std::string> Prepend(std::string first, std::vector<std::string> args) {
  args.insert(args.begin(), std::move(first));
  return args;
}

bool Matches(const json& event, const std::string& name, const CBatchRun::Test& test) {
  return event.value("event", "") == name && (!test || test(event));
}

}  // namespace

CBatchRun::CBatchRun(std::vector<std::string> args)
    : CBatchRun(ZENLET_PROGRAM, Prepend("--batch", std::move(args))) {}

CBatchRun::CBatchRun(const std::string& program, const std::vector<std::string>& args)
    : m_program(program, args) {}

void CBatchRun::Send(const json& command) {
  EXPECT_TRUE(m_program.WriteLine(command.dump()));
}

void CBatchRun::SendLine(const std::string& line) {
  EXPECT_TRUE(m_program.WriteLine(line));
}

json CBatchRun::Expect(const std::string& name, const Test& test,
                       std::chrono::milliseconds timeout) {
  const std::vector<json> found = ExpectAll({{name, test}}, timeout);
  return found.empty() ? json() : found[0];
}

json CBatchRun::ExpectBox(const std::string& textPart) {
  return Expect("message_box", BoxSaying(textPart));
}

std::vector<json> CBatchRun::Until(const std::string& name, const Test& test,
                                   std::chrono::milliseconds timeout) {
  const std::size_t first = m_nTaken;
  if (ExpectAll({{name, test}}, timeout).empty()) {
    return {};
  }
  return std::vector<json>(m_aSeen.begin() + static_cast<std::ptrdiff_t>(first),
                           m_aSeen.begin() + static_cast<std::ptrdiff_t>(m_nTaken));
}

std::vector<json> CBatchRun::ExpectAll(const std::vector<std::pair<std::string, Test>>& events,
                                       std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  constexpr std::size_t kNotYet = static_cast<std::size_t>(-1);
  std::vector<std::size_t> at(events.size(), kNotYet);
  std::size_t next = m_nTaken;
  for (;;) {
    for (; next < m_aSeen.size(); ++next) {
      for (std::size_t i = 0; i < events.size(); ++i) {
        if (at[i] == kNotYet && Matches(m_aSeen[next], events[i].first, events[i].second)) {
          at[i] = next;
          break;
        }
      }
    }
    bool all = true;
    std::size_t last = 0;
    for (std::size_t index : at) {
      all = all && index != kNotYet;
      last = all ? std::max(last, index) : last;
    }
    if (all) {
      m_nTaken = last + 1;
      std::vector<json> found;
      for (std::size_t index : at) {
        found.push_back(m_aSeen[index]);
      }
      return found;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const std::optional<std::string> line =
        left.count() > 0 ? m_program.ReadLine(left) : std::nullopt;
    if (!line) {
      break;
    }
    const json event = json::parse(*line, nullptr, false);
    EXPECT_TRUE(event.is_object()) << "not a JSON object: " << *line;
    m_aSeen.push_back(event);
  }
  std::string names;
  for (const auto& event : events) {
    names += " " + event.first;
  }
  std::string passed;
  for (std::size_t i = m_nTaken; i < m_aSeen.size(); ++i) {
    passed += "\n  " + m_aSeen[i].dump().substr(0, 200);
  }
  m_nTaken = m_aSeen.size();
  ADD_FAILURE() << "not every one of" << names << " came; these did:" << passed
                << "\nstandard error:\n"
                << m_program.ErrorOutput(1s);
  return {};
}

void CBatchRun::Quit() {
  Send({{"cmd", "quit"}});
  Expect("bye");
  EXPECT_EQ(m_program.Wait(), 0) << m_program.ErrorOutput(1s);
}

CBatchRun::Test After(const std::string& name) {
  return [name](const json& toolbar) { return toolbar["cause"] == name; };
}

CBatchRun::Test After(const std::string& name, int explorer) {
  return [name, explorer](const json& toolbar) {
    return toolbar["cause"] == name && toolbar["explorer"] == explorer;
  };
}

CBatchRun::Test BoxSaying(const std::string& textPart) {
  return [textPart](const json& box) {
    return box["text"].get<std::string>().find(textPart) != std::string::npos;
  };
}
