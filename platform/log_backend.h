// Log-backend seam: the logging library behind CLogger.
//
// Threading: Write and IsEnabled may be called from any thread at once; the backend
// serialises writes. ConfigureRootFile runs on the main thread before any worker starts.
// Errors: logging never reports errors to its callers and never throws; a file that cannot
// be opened simply receives no lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

enum class LogPriority { kError = 300, kDebug = 700 };

struct LogFileSettings {
  std::string strFileName;  // 8-bit path, as the library takes it
  std::string strAppenderName;
  std::size_t nMaxFileSize = 0;  // bytes before the file rolls over
  unsigned nBackupCount = 0;     // rolled-over files kept
  bool bAppend = true;           // keep the existing content
  unsigned nFileMode = 0644;
  std::string strPattern;  // conversion pattern of every line
  LogPriority eRootPriority = LogPriority::kDebug;
};

class ILogBackend {
 public:
  virtual ~ILogBackend() = default;

  // Removes every appender of the root category, then adds one rolling file appender as
  // described and sets the root priority. A second call replaces the first appender, so
  // lines are never written twice.
  virtual void ConfigureRootFile(const LogFileSettings& settings) = 0;

  // Whether `category` writes lines of `priority`. An empty name is the root category.
  virtual bool IsEnabled(std::string_view category, LogPriority priority) = 0;
  // Writes one formatted message through `category`.
  virtual void Write(std::string_view category, LogPriority priority,
                     std::string_view message) = 0;
};
