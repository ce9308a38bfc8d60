// What the fuzz targets share: failing a property so that libFuzzer keeps the input, and
// scratch folders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/logger.h"

// Stops the run with `property` on standard error when it does not hold; libFuzzer keeps the
// input as a crash.
void Require(bool holds, const char* property);

// A folder of this process's own under /dev/shm (or the temporary folder), removed when the
// process ends normally.
const std::string& ScratchFolder();

// Writes a data-protection key of fixed bytes to `path` (mode 0600), so that values sealed by
// one program open in another, as they do for one user.
void WriteFixedProtectionKey(const std::string& path);

// A logger for the adapters under test: silent, or on standard error when the environment
// sets ZENLET_FUZZ_LOG (to see why an input fails).
CLogger& FuzzLogger();

// The input as text, split at line feeds; the last line may be empty.
std::vector<std::string_view> SplitLines(std::string_view text);
inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}
