// The settings store read from a damaged file, then saved to and read again. Properties:
// reading never loses the file (it stays as it was, or is moved aside whole), a save after a
// damaged read starts a new store, and what was saved reads back.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/logger.h"
#include "fuzz/fuzz_support.h"
#include "platform/openssl/aes_gcm_data_protector.h"
#include "platform/sqlite/sqlite_registry.h"
#include "settings/options.h"
#include "tests/settings/store_generation.h"

namespace fs = std::filesystem;

namespace {

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Whether `bytes` are still there: in the store's own place, or in a file it was moved to.
bool Survives(const fs::path& folder, const fs::path& store, std::string_view bytes) {
  if (fs::exists(store) && Contents(store) == bytes) {
    return true;
  }
  const std::string aside = store.filename().string() + ".damaged-";
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.compare(0, aside.size(), aside) == 0 && name.find("-journal") == std::string::npos &&
        Contents(entry.path()) == bytes) {
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static CLogger& log = FuzzLogger();
  static const std::string keyPath = [] {
    const std::string path = ScratchFolder() + "/protection.key";
    WriteFixedProtectionKey(path);
    return path;
  }();
  static CAesGcmDataProtector protector(keyPath, log);
  const fs::path folder = ScratchFolder() + "/store";
  const fs::path store = folder / "settings.db";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string_view bytes = AsText(data, size);
  std::ofstream(store, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));

  {
    CSqliteRegistry registry(store.string(), log);
    CFBOpts options(&registry, &protector, &log);
    options.Load();
    options.GetSession();
  }
  Require(Survives(folder, store, bytes), "reading the store never loses it");

  {
    CSqliteRegistry registry(store.string(), log);
    CFBOpts options(&registry, &protector, &log);
    options.Load();
    FillGeneration(options, 5);
    // A store found damaged only by the save is moved aside; the next save starts afresh.
    RegistryStatus status = options.Save();
    if (status != kRegOk) {
      status = options.Save();
    }
    Require(status == kRegOk, "a save after damage was found starts a new store");
  }
  {
    CSqliteRegistry registry(store.string(), log);
    CFBOpts options(&registry, &protector, &log);
    Require(options.Load() == kRegOk, "a saved store reads");
    Require(GenerationOf(options) == 5, "what was saved reads back whole");
  }
  return 0;
}
