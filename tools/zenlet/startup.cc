#include "tools/zenlet/startup.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/private_files.h"

bool PrepareDataDir(const std::string& folder, std::string* absolute, std::string* error) {
  const auto fail = [&](const std::string& what) {
    *error = "the data directory " + folder + " cannot be written: " + what;
    return false;
  };
  if (!EnsurePrivateFolder(folder)) {
    return fail(std::strerror(errno));
  }
  char resolved[PATH_MAX];
  if (realpath(folder.c_str(), resolved) == nullptr) {
    return fail(std::strerror(errno));
  }
  std::string probe = std::string(resolved) + "/.zenlet-write-test-XXXXXX";
  const int fd = mkstemp(probe.data());
  if (fd < 0) {
    return fail(std::strerror(errno));
  }
  close(fd);
  unlink(probe.c_str());
  *absolute = resolved;
  return true;
}

void UseDataDir(const std::string& absoluteFolder) {
  // The settings folder is $XDG_CONFIG_HOME/Morvane/Zenlet and the log's is below
  // $XDG_DATA_HOME/Morvane/Zenlet, so both land in one folder below the data directory.
  setenv("XDG_CONFIG_HOME", absoluteFolder.c_str(), 1);
  setenv("XDG_DATA_HOME", absoluteFolder.c_str(), 1);
}
