#include "common/logger.h"

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/platform.h"

namespace {

// Forwards to whatever backend the platform bundle holds at the moment of the call, so that
// loggers taken before start-up wiring still reach the file once it exists.
class CPlatformLogBackend : public ILogBackend {
 public:
  void ConfigureRootFile(const LogFileSettings& settings) override {
    if (ILogBackend* backend = GetPlatform().pLogBackend) {
      backend->ConfigureRootFile(settings);
    }
  }
  bool IsEnabled(std::string_view category, LogPriority priority) override {
    ILogBackend* backend = GetPlatform().pLogBackend;
    return backend != nullptr && backend->IsEnabled(category, priority);
  }
  void Write(std::string_view category, LogPriority priority, std::string_view message) override {
    if (ILogBackend* backend = GetPlatform().pLogBackend) {
      backend->Write(category, priority, message);
    }
  }
};

}  // namespace

CLogger::CLogger(std::string category, ILogBackend* backend)
    : m_strCategory(std::move(category)), m_pBackend(backend) {}

void CLogger::debug(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Write(LogPriority::kDebug, format, args);
  va_end(args);
}

void CLogger::error(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Write(LogPriority::kError, format, args);
  va_end(args);
}

void CLogger::Write(LogPriority priority, const char* format, va_list args) {
  if (m_pBackend == nullptr || format == nullptr ||
      !m_pBackend->IsEnabled(m_strCategory, priority)) {
    return;
  }
  char small[512];
  va_list retry;
  va_copy(retry, args);
  const int length = std::vsnprintf(small, sizeof(small), format, args);
  if (length < 0) {
    // A wide argument the C library cannot convert: keep the line, unformatted.
    m_pBackend->Write(m_strCategory, priority, std::string("(unformattable) ") + format);
  } else if (static_cast<std::size_t>(length) < sizeof(small)) {
    m_pBackend->Write(m_strCategory, priority, std::string_view(small, length));
  } else {
    std::vector<char> large(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(large.data(), large.size(), format, retry);
    m_pBackend->Write(m_strCategory, priority, std::string_view(large.data(), length));
  }
  va_end(retry);
}

CLogger& GetLogger(const char* name) {
  static CPlatformLogBackend platformBackend;
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<CLogger>> loggers;
  const std::string key = name != nullptr ? name : "";
  std::lock_guard<std::mutex> lock(mutex);
  std::unique_ptr<CLogger>& logger = loggers[key];
  if (!logger) {
    logger = std::make_unique<CLogger>(key, &platformBackend);
  }
  return *logger;
}
