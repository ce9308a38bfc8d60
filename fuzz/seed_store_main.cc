// Writes a settings store as the add-in leaves it (placement, a sealed session, the status
// box width, remembered statuses) to the file named on the command line, sealed with the
// fuzz targets' fixed key: the seed the settings_store target damages.
#include <cstdio>
#include <filesystem>

#include "common/logger.h"
#include "fuzz/fuzz_support.h"
#include "platform/openssl/aes_gcm_data_protector.h"
#include "platform/sqlite/sqlite_registry.h"
#include "settings/options.h"
#include "tests/settings/store_generation.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s STORE-FILE\n", argv[0]);
    return 2;
  }
  std::filesystem::remove(argv[1]);
  CLogger quiet("reg", nullptr);
  const std::string keyPath = ScratchFolder() + "/protection.key";
  WriteFixedProtectionKey(keyPath);
  CAesGcmDataProtector protector(keyPath, quiet);
  CSqliteRegistry registry(argv[1], quiet);
  CFBOpts options(&registry, &protector, &quiet);
  FillGeneration(options, 3);
  if (options.Save() != kRegOk) {
    std::fprintf(stderr, "%s: cannot write the store\n", argv[1]);
    return 1;
  }
  return 0;
}
