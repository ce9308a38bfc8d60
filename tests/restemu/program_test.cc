// The zenlet-restemu program as a user runs it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/http_front/raw_http_client.h"
#include "tests/restemu/rest_test_client.h"
#include "tests/support/temp_folder.h"

extern char** environ;

namespace {

// A child process of the program with its standard output and error in pipes.
class CProgram {
 public:
  explicit CProgram(std::vector<std::string> args) {
    int out[2];
    int err[2];
    EXPECT_EQ(pipe(out), 0);
    EXPECT_EQ(pipe(err), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    args.insert(args.begin(), ZENLET_RESTEMU_PROGRAM);
    std::vector<char*> argv;
    for (std::string& arg : args) {
      argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    m_nOut = out[0];
    m_nErr = err[0];
  }

  ~CProgram() {
    if (m_pid > 0) {
      kill(m_pid, SIGKILL);
      Wait();
    }
    close(m_nOut);
    close(m_nErr);
  }

  // The first line of standard output, waiting at most 20 s for it.
  std::string FirstLine() {
    std::string line;
    char c = 0;
    while (line.size() < 200) {
      pollfd ready{m_nOut, POLLIN, 0};
      if (poll(&ready, 1, 20000) != 1 || read(m_nOut, &c, 1) != 1 || c == '\n') {
        break;
      }
      line.push_back(c);
    }
    return line;
  }

  std::string ErrorOutput() {
    std::string text;
    char buffer[512];
    ssize_t count = 0;
    while ((count = read(m_nErr, buffer, sizeof buffer)) > 0) {
      text.append(buffer, static_cast<std::size_t>(count));
    }
    return text;
  }

  void Signal(int signal) { kill(m_pid, signal); }

  // The exit code, or -1 when the program did not exit normally.
  int Wait() {
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Like Wait, but nothing when the program is still running after `timeout`.
  std::optional<int> WaitFor(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (waitpid(m_pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() >= deadline) {
        return std::nullopt;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t m_pid = -1;
  int m_nOut = -1;
  int m_nErr = -1;
};

TEST(ProgramTest, ServesOnTheAddressItPrintsUntilInterrupted) {
  CTempFolder folder;
  const std::string file = folder.Path() + "/world.json";
  std::ofstream(file) << R"({"user": {"uid": 42, "name": "Zed Scenario"}})";

  CProgram program({"--port", "0", "--scenario", file});
  const std::string address = program.FirstLine();
  ASSERT_EQ(address.rfind("http://127.0.0.1:", 0), 0u) << address;
  httplib::Client client(address.c_str());
  auto home = client.Get("/");
  ASSERT_TRUE(home);
  EXPECT_NE(home->body.find("Zed Scenario"), std::string::npos);

  program.Signal(SIGINT);
  EXPECT_EQ(program.Wait(), 0);
}

TEST(ProgramTest, ABadScenarioFileIsRefusedNamingTheField) {
  CTempFolder folder;
  const std::string file = folder.Path() + "/bad.json";
  std::ofstream(file)
      << R"({"user": {"uid": 42, "name": "Zed"}, "friends": [{"uid": "x1", "name": "Y"}]})";

  CProgram program({"--scenario", file});
  EXPECT_EQ(program.Wait(), 2);
  const std::string error = program.ErrorOutput();
  EXPECT_NE(error.find(file + ": friends[0].uid: expected an id"), std::string::npos) << error;
}

// The bounded load test. Before: eight connections sending their head a byte at a time held
// every worker, so a normal call waited for as long as they sent, idle connections slowed it
// further, and SIGTERM did not end the program while they sent.
TEST(ProgramTest, AnswersAndStopsInTimeUnderSlowAndIdleClients) {
  using namespace std::chrono_literals;
  CProgram program({"--port", "0"});
  const std::string address = program.FirstLine();
  ASSERT_EQ(address.rfind("http://127.0.0.1:", 0), 0u) << address;
  const int port = std::stoi(address.substr(address.rfind(':') + 1));

  CSlowSenders slow(port, 50, 100ms);
  const auto idle = OpenIdleConnections(port, 200);
  ASSERT_EQ(slow.Connected(), 50);
  std::this_thread::sleep_for(500ms);  // every slow head is under way

  CRestTestClient client(port);
  client.Http().set_connection_timeout(3, 0);
  client.Http().set_read_timeout(3, 0);
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const auto token = client.Call("facebook.auth.createToken");
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(token) << "call " << i;
    EXPECT_EQ(CXmlAnswer(token->body).RootName(), "auth_createToken_response");
    EXPECT_LT(took, 1s) << "call " << i << " took "
                        << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
                        << " ms";
  }

  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitFor(2s), std::optional<int>(0));
}

}  // namespace
