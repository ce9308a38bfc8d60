// A program run as a child process, as a user or a script runs it: its standard input,
// output and error are pipes of the test's. Lines of output are read with a time-out, so a
// program that hangs fails the test instead of blocking it. The child is killed if it still
// runs when the object goes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class CChildProcess {
 public:
  // Starts `program` with `args`; `environment` entries ("NAME=value") are added to the
  // test's own environment.
  CChildProcess(const std::string& program, const std::vector<std::string>& args,
                const std::vector<std::string>& environment = {});
  ~CChildProcess();
  CChildProcess(const CChildProcess&) = delete;
  CChildProcess& operator=(const CChildProcess&) = delete;

  bool Started() const { return m_pid > 0; }
  pid_t Pid() const { return m_pid; }

  // Writes `line` and a line end to the child's standard input; false once it is closed.
  bool WriteLine(const std::string& line);
  void CloseInput();

  // The next line of standard output without its line end; nothing when none came within
  // `timeout` or the output ended.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
  // Everything on standard error so far, waiting at most `timeout` for its end.
  std::string ErrorOutput(std::chrono::milliseconds timeout = std::chrono::seconds(5));

  void Signal(int signal);
  // The exit code once it ended, waiting at most `timeout`; -1 when it did not exit normally
  // in time (it is then killed).
  int Wait(std::chrono::milliseconds timeout = std::chrono::seconds(20));

 private:
  pid_t m_pid = -1;
  int m_nInput = -1;
  int m_nOutput = -1;
  int m_nError = -1;
  std::string m_strPending;  // output read past the last line handed out
  std::string m_strErrors;
};
