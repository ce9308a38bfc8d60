#include "platform/posix/posix_file_system.h"

#include <errno.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "common/deployment.h"
#include "common/text.h"

namespace {

std::string NonEmptyEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string HomeFolder() {
  std::string home = NonEmptyEnvironment("HOME");
  if (!home.empty()) {
    return home;
  }
  const passwd* entry = getpwuid(getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? std::string(entry->pw_dir) : std::string();
}

// An XDG base directory: $`variable`, or `belowHome` in the home folder when that is unset.
// Empty when neither is known.
std::string XdgFolder(const char* variable, const char* belowHome) {
  // XDG: a relative path in the variable is invalid and must be ignored.
  std::string folder = NonEmptyEnvironment(variable);
  if (folder.empty() || folder.front() != '/') {
    const std::string home = HomeFolder();
    if (home.empty()) {
      return {};
    }
    folder = home + belowHome;
  }
  return folder;
}

}  // namespace

std::wstring CPosixFileSystem::LocalAppDataFolder() {
  return Utf8ToWide(XdgFolder("XDG_DATA_HOME", "/.local/share"));
}

std::wstring CPosixFileSystem::FallbackFolder() {
  std::string base = NonEmptyEnvironment("TMPDIR");
  if (base.empty() || base.front() != '/') {
    base = "/tmp";
  }
  while (base.size() > 1 && base.back() == '/') {
    base.pop_back();
  }
  // The temporary folder is shared: anyone may have made this name first, as a folder, a
  // file or a link to somewhere else. Only a real folder of this user's, closed to others,
  // will do; lstat never follows a link.
  const uid_t user = geteuid();
  const std::string folder =
      (base == "/" ? "" : base) + "/" + WideToUtf8(kProductName) + "-" + std::to_string(user);
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    return {};
  }
  struct stat info {};
  if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != user ||
      (info.st_mode & 077) != 0) {
    return {};
  }
  return Utf8ToWide(folder + "/");
}

bool CPosixFileSystem::Exists(const std::wstring& path) {
  struct stat info {};
  return stat(WideToUtf8(path).c_str(), &info) == 0;
}

bool CPosixFileSystem::CreateFolder(const std::wstring& path) {
  return !path.empty() && mkdir(WideToUtf8(path).c_str(), 0755) == 0;
}

std::string UserSettingsFolder() {
  const std::string folder = XdgFolder("XDG_CONFIG_HOME", "/.config");
  if (folder.empty()) {
    return {};
  }
  return folder + "/" + WideToUtf8(kCompanyName) + "/" + WideToUtf8(kProductName);
}
