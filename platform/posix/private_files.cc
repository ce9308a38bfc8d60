#include "platform/posix/private_files.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

bool EnsurePrivateFolder(const std::string& folder) {
  struct stat info {};
  if (folder.empty()) {
    return false;
  }
  if (stat(folder.c_str(), &info) == 0) {
    return S_ISDIR(info.st_mode);
  }
  const std::size_t cut = folder.find_last_of('/');
  if (cut != std::string::npos && cut > 0 && !EnsurePrivateFolder(folder.substr(0, cut))) {
    return false;
  }
  return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    return false;
  }
  // A file system without the flag: a hard link fails the same way when `to` exists.
  if (link(from.c_str(), to.c_str()) != 0) {
    return false;
  }
  unlink(from.c_str());
  return true;
}

void SyncParentFolder(const std::string& path) {
  const int fd = open(ParentFolder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
}

std::string ParentFolder(const std::string& path) {
  const std::size_t cut = path.find_last_of('/');
  if (cut == std::string::npos) {
    return ".";
  }
  return cut == 0 ? "/" : path.substr(0, cut);
}
