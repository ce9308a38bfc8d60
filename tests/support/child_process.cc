#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Appends what `fd` has within `ms`; false at its end or on a time-out with nothing read.
bool ReadSome(int fd, int ms, std::string* into) {
  pollfd ready{fd, POLLIN, 0};
  if (poll(&ready, 1, ms) != 1) {
    return false;
  }
  char buffer[4096];
  const ssize_t count = read(fd, buffer, sizeof buffer);
  if (count <= 0) {
    return false;
  }
  into->append(buffer, static_cast<std::size_t>(count));
  return true;
}

}  // namespace

CChildProcess::CChildProcess(const std::string& program, const std::vector<std::string>& args,
                             const std::vector<std::string>& environment) {
  // A child that went away fails the next write instead of ending the test with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  int input[2];
  int output[2];
  int error[2];
  if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0 ||
      pipe2(error, O_CLOEXEC) != 0) {
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], 0);
  posix_spawn_file_actions_adddup2(&actions, output[1], 1);
  posix_spawn_file_actions_adddup2(&actions, error[1], 2);

  std::vector<std::string> argStrings{program};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argStrings) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  std::vector<std::string> envStrings;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    envStrings.emplace_back(*entry);
  }
  envStrings.insert(envStrings.end(), environment.begin(), environment.end());
  std::vector<char*> envp;
  for (std::string& entry : envStrings) {
    envp.push_back(entry.data());
  }
  envp.push_back(nullptr);

  if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
    m_pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  close(input[0]);
  close(output[1]);
  close(error[1]);
  m_nInput = input[1];
  m_nOutput = output[0];
  m_nError = error[0];
}

CChildProcess::~CChildProcess() {
  if (m_pid > 0) {
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
  }
  for (const int fd : {m_nInput, m_nOutput, m_nError}) {
    if (fd >= 0) {
      close(fd);
    }
  }
}

bool CChildProcess::WriteLine(const std::string& line) {
  if (m_nInput < 0) {
    return false;
  }
  const std::string text = line + "\n";
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t count = write(m_nInput, text.data() + written, text.size() - written);
    if (count <= 0) {
      return false;
    }
    written += static_cast<std::size_t>(count);
  }
  return true;
}

void CChildProcess::CloseInput() {
  if (m_nInput >= 0) {
    close(m_nInput);
    m_nInput = -1;
  }
}

std::optional<std::string> CChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    const std::size_t end = m_strPending.find('\n');
    if (end != std::string::npos) {
      std::string line = m_strPending.substr(0, end);
      m_strPending.erase(0, end + 1);
      return line;
    }
    if (!ReadSome(m_nOutput, RemainingMs(deadline), &m_strPending)) {
      return std::nullopt;
    }
  }
}

std::string CChildProcess::ErrorOutput(std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  while (ReadSome(m_nError, RemainingMs(deadline), &m_strErrors)) {
  }
  return m_strErrors;
}

void CChildProcess::Signal(int signal) {
  if (m_pid > 0) {
    kill(m_pid, signal);
  }
}

int CChildProcess::Wait(std::chrono::milliseconds timeout) {
  if (m_pid <= 0) {
    return -1;
  }
  const Clock::time_point deadline = Clock::now() + timeout;
  int status = 0;
  while (waitpid(m_pid, &status, WNOHANG) == 0) {
    if (Clock::now() >= deadline) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, &status, 0);
      m_pid = -1;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  m_pid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
