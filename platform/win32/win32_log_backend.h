// The log backend on Windows, where log4cpp is not built: categories by name that all write
// through the root's one rolling file appender, with the same file handling and line layout
// as the log4cpp backend on Linux.
//
// - Layout: the conversion characters %d (local time, "YYYY-MM-DD hh:mm:ss,mmm"), %c (the
//   category; the root's name is empty), %t (the thread id), %p ("DEBUG", "ERROR"), %x (the
//   nested context, never filled: empty), %m (the message), %n (CRLF, as a text file on
//   Windows ends its lines) and %%; other characters stand as they are.
// - Rolling: after a line leaves the file at or above its maximum size, the oldest backup
//   goes, "<file>.<n>" becomes "<file>.<n+1>" and the file becomes "<file>.1", and a fresh
//   file starts. At most the configured number of backups remain.
// - Priorities: a category writes the lines whose value is at most the root's priority (ERROR
//   300 below DEBUG 700). Before the first configuration the root is at INFO (400) with no
//   appender, so nothing is written.
#pragma once

#include <memory>

#include "platform/log_backend.h"

class CWin32LogBackend : public ILogBackend {
 public:
  CWin32LogBackend();
  ~CWin32LogBackend() override;
  CWin32LogBackend(const CWin32LogBackend&) = delete;
  CWin32LogBackend& operator=(const CWin32LogBackend&) = delete;

  void ConfigureRootFile(const LogFileSettings& settings) override;
  bool IsEnabled(std::string_view category, LogPriority priority) override;
  void Write(std::string_view category, LogPriority priority, std::string_view message) override;

 private:
  struct State;
  std::unique_ptr<State> m_pState;
};
