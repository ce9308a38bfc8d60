// The add-in's log lines: named categories ("otc", "tec", "fap", "fbr", "opt") written
// through the platform's log backend. Below every adapter, so that adapters may log without
// reaching into the settings layer; the log file itself is set up in settings/logging.h.
#pragma once

#include <cstdarg>
#include <string>

#include "platform/log_backend.h"

#if defined(__MINGW32__)
// mingw-w64 builds with the C99 printf (__USE_MINGW_ANSI_STDIO), which gcc calls gnu_printf.
#define ZENLET_PRINTF_FORMAT(formatIndex, firstArg) \
  __attribute__((format(gnu_printf, formatIndex, firstArg)))
#elif defined(__GNUC__)
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
  void Write(LogPriority priority, const char* format, va_list args) ZENLET_PRINTF_FORMAT(3, 0);

  std::string m_strCategory;
  ILogBackend* m_pBackend;
};

// The process's logger named `name` (null or empty: the root category), writing through the
// platform's log backend. The same name always gives the same object.
CLogger& GetLogger(const char* name);
