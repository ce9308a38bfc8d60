#include "platform/registry.h"

#include <cstring>

std::wstring FoldRegistryName(std::wstring_view name) {
  std::wstring folded(name);
  for (wchar_t& c : folded) {
    // A wide character is a code point, not a byte (the check takes it for a char).
    const auto code = static_cast<std::uint32_t>(c);  // NOLINT(bugprone-signed-char-misuse)
    if ((code >= U'a' && code <= U'z') || (code >= 0xE0 && code <= 0xFE && code != 0xF7) ||
        (code >= 0x3B1 && code <= 0x3CB && code != 0x3C2) || (code >= 0x430 && code <= 0x44F)) {
      c = static_cast<wchar_t>(code - 0x20);  // ASCII, Latin-1, Greek, basic Cyrillic
    } else if (code >= 0x450 && code <= 0x45F) {
      c = static_cast<wchar_t>(code - 0x50);  // Cyrillic with marks: ѐ..џ
    } else if (code == 0xFF) {
      c = static_cast<wchar_t>(0x178);  // ÿ
    }
  }
  return folded;
}

bool SplitRegistryPath(std::wstring_view path, std::vector<std::wstring>* names) {
  names->clear();
  if (path.empty()) {
    return true;
  }
  std::size_t start = 0;
  while (true) {
    const std::size_t end = path.find(L'\\', start);
    const std::wstring_view name =
        path.substr(start, end == std::wstring_view::npos ? std::wstring_view::npos : end - start);
    if (name.empty()) {
      names->clear();
      return false;
    }
    names->emplace_back(name);
    if (end == std::wstring_view::npos) {
      return true;
    }
    start = end + 1;
  }
}

RegistryStatus AnswerRegistryQuery(std::uint32_t storedType,
                                   const std::vector<std::uint8_t>& stored, std::uint32_t* type,
                                   std::uint8_t* data, std::uint32_t* size) {
  if (data != nullptr && size == nullptr) {
    return kRegInvalidParameter;
  }
  if (type != nullptr) {
    *type = storedType;
  }
  const auto needed = static_cast<std::uint32_t>(stored.size());
  if (data != nullptr && *size < needed) {
    *size = needed;
    return kRegMoreData;
  }
  if (data != nullptr && needed > 0) {
    std::memcpy(data, stored.data(), needed);
  }
  if (size != nullptr) {
    *size = needed;
  }
  return kRegOk;
}
