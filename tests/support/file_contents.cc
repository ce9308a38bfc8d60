#include "tests/support/file_contents.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

unsigned FileMode(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0xFFFFu;
}
