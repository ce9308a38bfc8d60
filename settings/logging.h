// The diagnostic log: one rolling file in the user's local application data folder, written
// through named categories ("otc", "tec", "fap", "fbr"). Every line reads
// "<date> [<category>] [<thread>] <priority> <category> <context> - <message>".
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

#include "platform/log_backend.h"

class IFileSystem;
class IRegistry;

#if defined(__GNUC__)
#define ZENLET_PRINTF_FORMAT(formatIndex, firstArg) \
  __attribute__((format(printf, formatIndex, firstArg)))
#else
#define ZENLET_PRINTF_FORMAT(formatIndex, firstArg)
#endif

// One log category. Messages are printf-style 8-bit formats; a line is formatted only when
// its priority is enabled. Safe to use from any thread.
class CLogger {
 public:
  // A logger writing through `backend`; with a null backend lines go nowhere.
  CLogger(std::string category, ILogBackend* backend);

  void debug(const char* format, ...) ZENLET_PRINTF_FORMAT(2, 3);
  void error(const char* format, ...) ZENLET_PRINTF_FORMAT(2, 3);

  const std::string& Category() const { return m_strCategory; }

 private:
  void Write(LogPriority priority, const char* format, va_list args);

  std::string m_strCategory;
  ILogBackend* m_pBackend;
};

// The process's logger named `name` (null or empty: the root category), writing through the
// platform's log backend. The same name always gives the same object.
CLogger& GetLogger(const char* name);

// Configures the log file and the root category. Runs on the main thread before any worker
// exists; a second call replaces the first configuration, so no line is written twice.
// Folders that cannot be made leave the log without a file; nothing is reported.
void SetUpLogging();
// The same with explicit collaborators (a null registry reads no "DebugLog"). Returns the
// log file's path.
std::wstring SetUpLogging(IFileSystem& files, IRegistry* registry, ILogBackend& backend);

// The "DebugLog" switch read at the last set-up (missing or unreadable counts as off). The
// log is written at DEBUG whatever it says.
bool IsDebugLogSwitchOn();

// <local application data>/Morvane/Zenlet, or the platform's fallback folder alone.
std::wstring GetDataFolder(IFileSystem& files);
// GetDataFolder + "Logs" + separator, created level by level if missing.
std::wstring GetLogFolder(IFileSystem& files);
// Creates every missing folder of `path`, whose last component is a file name or empty.
// Failures are ignored.
void EnsureFolderExists(IFileSystem& files, const std::wstring& path);
