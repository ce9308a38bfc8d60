#include "settings/logging.h"

#include <memory>

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

bool IsSeparator(IFileSystem& files, wchar_t c) {
  return c == L'/' || c == files.Separator();
}

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

void SetUpLogging() {
  const Platform& platform = GetPlatform();
  if (platform.pFileSystem != nullptr && platform.pLogBackend != nullptr) {
    SetUpLogging(*platform.pFileSystem, platform.pRegistry, *platform.pLogBackend);
  }
}

std::wstring SetUpLogging(IFileSystem& files, IRegistry* registry, ILogBackend& backend) {
  // Without a folder there is no file: a name that opens nothing, rather than one that lands
  // wherever the process happens to be.
  const std::wstring folder = GetLogFolder(files);
  std::wstring path = folder.empty() ? std::wstring() : AppendPath(files, folder, kLogFileName);
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

  // Read only once the file is there: the first read of the store is where damage to it is
  // found, and the line about it belongs in this file.
  g_bDebugLogSwitch = registry != nullptr && ReadDebugLogSwitch(*registry);
  return path;
}

bool IsDebugLogSwitchOn() {
  return g_bDebugLogSwitch;
}

std::wstring GetDataFolder(IFileSystem& files) {
  const std::wstring base = files.LocalAppDataFolder();
  if (base.empty()) {
    return files.FallbackFolder();
  }
  const wchar_t separator = files.Separator();
  return AppendPath(files, base, std::wstring(kCompanyName) + separator + kProductName);
}

std::wstring GetLogFolder(IFileSystem& files) {
  const std::wstring data = GetDataFolder(files);
  if (data.empty()) {
    return {};
  }
  std::wstring folder = AppendPath(files, data, L"Logs");
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
