#include "resources/string_table.h"

#include <string_view>

#include "common/text.h"

namespace {

struct StringEntry {
  unsigned nId;
  std::string_view strText;  // UTF-8
};

constexpr StringEntry kStrings[] = {
#define ZENLET_STRING(name, id, text) {(id), (text)},
#include "string_table.def"
#undef ZENLET_STRING
};

}  // namespace

std::wstring LoadText(unsigned id) {
  for (const StringEntry& entry : kStrings) {
    if (entry.nId == id) {
      return Utf8ToWide(entry.strText);
    }
  }
  return {};
}
