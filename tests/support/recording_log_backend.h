// A log backend that keeps every line in memory, for tests that check what was logged.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/log_backend.h"

struct LoggedLine {
  std::string strCategory;
  LogPriority ePriority;
  std::string strMessage;
};

class CRecordingLogBackend : public ILogBackend {
 public:
  void ConfigureRootFile(const LogFileSettings& settings) override;
  bool IsEnabled(std::string_view category, LogPriority priority) override;
  void Write(std::string_view category, LogPriority priority, std::string_view message) override;

  std::vector<LoggedLine> Lines();
  // Lines of `priority` whose message contains `fragment`.
  int Count(LogPriority priority, const std::string& fragment);
  std::vector<LogFileSettings> Configurations();
  void Clear();

 private:
  std::mutex m_mutex;
  std::vector<LoggedLine> m_lines;
  std::vector<LogFileSettings> m_configurations;
};
