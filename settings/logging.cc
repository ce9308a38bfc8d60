#include "settings/logging.h"

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "common/deployment.h"
#include "common/text.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "platform/registry.h"
#include "settings/reg_settings.h"

namespace {

constexpr const char* kLinePattern = "%d [%c] [%t] %p %c %x - %m%n";
constexpr std::size_t kMaxLogFileSize = std::size_t{10} * 1024 * 1024;
constexpr unsigned kLogBackupCount = 5;
constexpr unsigned kLogFileMode = 0644;
constexpr const wchar_t* kLogFileName = L"Zenlet.log";
constexpr const wchar_t* kOptionsKeyPath = L"SOFTWARE\\Morvane.com\\Zenlet\\Options";

bool g_bDebugLogSwitch = false;

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

bool IsSeparator(IFileSystem& files, wchar_t c) { return c == L'/' || c == files.Separator(); }

// Appends `name` to `folder` with exactly one separator between them, as the shell's path
// append does.
std::wstring AppendPath(IFileSystem& files, std::wstring folder, const std::wstring& name) {
  if (!folder.empty() && !IsSeparator(files, folder.back())) {
    folder.push_back(files.Separator());
  }
  return folder + name;
}

bool ReadDebugLogSwitch(IRegistry& registry) {
  std::unique_ptr<IRegistryKey> key;
  if (registry.OpenKey(RegistryRoot::kCurrentUser, kOptionsKeyPath, &key) != kRegOk) {
    return false;
  }
  std::uint32_t value = 0;  // missing or unreadable: off
  ExchangeDword(key.get(), L"DebugLog", value, false);
  return value != 0;
}

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

void SetUpLogging() {
  const Platform& platform = GetPlatform();
  if (platform.pFileSystem != nullptr && platform.pLogBackend != nullptr) {
    SetUpLogging(*platform.pFileSystem, platform.pRegistry, *platform.pLogBackend);
  }
}

std::wstring SetUpLogging(IFileSystem& files, IRegistry* registry, ILogBackend& backend) {
  g_bDebugLogSwitch = registry != nullptr && ReadDebugLogSwitch(*registry);

  std::wstring path = AppendPath(files, GetLogFolder(files), kLogFileName);
  LogFileSettings settings;
  settings.strFileName = WideToAnsi(path);
  settings.strAppenderName = "default";
  settings.nMaxFileSize = kMaxLogFileSize;
  settings.nBackupCount = kLogBackupCount;
  settings.bAppend = true;
  settings.nFileMode = kLogFileMode;
  settings.strPattern = kLinePattern;
  settings.eRootPriority = LogPriority::kDebug;
  backend.ConfigureRootFile(settings);
  return path;
}

bool IsDebugLogSwitchOn() { return g_bDebugLogSwitch; }

std::wstring GetDataFolder(IFileSystem& files) {
  const std::wstring base = files.LocalAppDataFolder();
  if (base.empty()) {
    return files.FallbackFolder();
  }
  const wchar_t separator = files.Separator();
  return AppendPath(files, base, std::wstring(kCompanyName) + separator + kProductName);
}

std::wstring GetLogFolder(IFileSystem& files) {
  std::wstring folder = AppendPath(files, GetDataFolder(files), L"Logs");
  folder.push_back(files.Separator());
  EnsureFolderExists(files, folder);
  return folder;
}

void EnsureFolderExists(IFileSystem& files, const std::wstring& path) {
  if (files.Exists(path)) {
    return;
  }
  std::size_t cut = path.size();
  while (cut > 0 && !IsSeparator(files, path[cut - 1])) {
    --cut;
  }
  if (cut == 0) {
    return;  // no separator: nothing to create
  }
  const std::wstring folders = path.substr(0, cut - 1);
  if (folders.empty()) {
    files.CreateFolder(folders);
    return;
  }
  for (std::size_t i = 0; i < folders.size(); ++i) {
    if (IsSeparator(files, folders[i])) {
      files.CreateFolder(folders.substr(0, i));  // exists already, or a drive: ignored
    }
  }
  files.CreateFolder(folders);
}
