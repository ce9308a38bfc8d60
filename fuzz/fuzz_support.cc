#include "fuzz/fuzz_support.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>

void Require(bool holds, const char* property) {
  if (!holds) {
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
  }
}

namespace {

std::string MakeScratchFolder() {
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : P_tmpdir;
  std::string pattern = std::string(base) + "/zenlet-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  return pattern;
}

}  // namespace

const std::string& ScratchFolder() {
  static const std::string folder = MakeScratchFolder();
  static std::once_flag cleanup;
  std::call_once(cleanup, [] {
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(folder, ignored);
    });
  });
  return folder;
}

void WriteFixedProtectionKey(const std::string& path) {
  std::uint8_t key[32];
  for (std::size_t i = 0; i < sizeof key; ++i) {
    key[i] = static_cast<std::uint8_t>(0x5a ^ (i * 7));
  }
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  Require(fd >= 0 && write(fd, key, sizeof key) == static_cast<ssize_t>(sizeof key),
          "the protection key can be written");
  close(fd);
}

namespace {

class CStandardErrorLog : public ILogBackend {
 public:
  void ConfigureRootFile(const LogFileSettings&) override {}
  bool IsEnabled(std::string_view, LogPriority) override { return true; }
  void Write(std::string_view category, LogPriority priority, std::string_view message) override {
    std::fprintf(stderr, "%s %.*s: %.*s\n", priority == LogPriority::kError ? "ERROR" : "DEBUG",
                 static_cast<int>(category.size()), category.data(),
                 static_cast<int>(message.size()), message.data());
  }
};

}  // namespace

CLogger& FuzzLogger() {
  static CStandardErrorLog standardError;
  static CLogger logger("fuzz",
                        std::getenv("ZENLET_FUZZ_LOG") != nullptr ? &standardError : nullptr);
  return logger;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t at = 0;;) {
    const std::size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end == std::string_view::npos ? end : end - at));
    if (end == std::string_view::npos) {
      return lines;
    }
    at = end + 1;
  }
}
