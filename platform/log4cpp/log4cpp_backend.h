// The log backend on log4cpp: categories by name under the root category, one rolling file
// appender with a pattern layout on the root.
#pragma once

#include "platform/log_backend.h"

class CLog4cppBackend : public ILogBackend {
 public:
  void ConfigureRootFile(const LogFileSettings& settings) override;
  bool IsEnabled(std::string_view category, LogPriority priority) override;
  void Write(std::string_view category, LogPriority priority, std::string_view message) override;
};
