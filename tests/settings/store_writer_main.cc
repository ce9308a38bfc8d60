// A second process for the store tests, wired with the Linux adapters: the settings store and
// its protection in the user's settings folder.
//
//   zenlet_store_writer session KEY SECRET UID NAME   saves that session through GetOptions()
//   zenlet_store_writer loop FIRST COUNT              saves generations FIRST, FIRST+1, ...
//       (FIRST 0: the one after the stored one; COUNT 0: until killed, at most 60 s), and
//       prints "ready" once the first save is done
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/logger.h"
#include "common/process_instance.h"
#include "common/text.h"
#include "platform/platform.h"
#include "platform/posix/posix_platform.h"
#include "settings/options.h"
#include "tests/settings/store_generation.h"

int main(int argc, char** argv) {
  CPosixPlatform posix;
  const Platform platform = posix.Bundle();
  SetPlatform(platform);
  CFBOpts processOptions(platform.pRegistry, platform.pProtector, &GetLogger("opt"));
  CProcessInstance<CFBOpts> wiring(processOptions);

  if (argc == 6 && std::strcmp(argv[1], "session") == 0) {
    CFBOpts* options = GetOptions();
    options->SetSession({argv[2], argv[3], argv[4], Utf8ToWide(argv[5])});
    return options->Save() == kRegOk ? 0 : 1;
  }
  if (argc == 4 && std::strcmp(argv[1], "loop") == 0) {
    CFBOpts options(platform.pRegistry, platform.pProtector, nullptr);
    options.Load();
    std::uint32_t generation = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10));
    if (generation == 0) {
      generation = options.m_dwToolbarRowIndex + 1;
    }
    const unsigned long count = std::strtoul(argv[3], nullptr, 10);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (unsigned long done = 0; count == 0 || done < count; ++done, ++generation) {
      FillGeneration(options, generation);
      const RegistryStatus status = options.Save();
      if (status != kRegOk) {
        std::fprintf(stderr, "save of generation %u failed: %d\n", generation, status);
        return 2;
      }
      if (done == 0) {
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
      }
      if (std::chrono::steady_clock::now() > deadline) {
        break;
      }
    }
    return 0;
  }
  std::fputs("usage: zenlet_store_writer session KEY SECRET UID NAME | loop FIRST COUNT\n", stderr);
  return 64;
}
