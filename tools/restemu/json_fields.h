// Reads a hand-written JSON document (a scenario, a control request) field by field. Every
// failure names the field's path, such as "friends[2].status.time", so a mistake in a file
// is found at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>

class CFieldError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class CJsonField {
 public:
  CJsonField(const nlohmann::json& value, std::string path)
      : m_pValue(&value), m_strPath(std::move(path)) {}

  const std::string& Path() const { return m_strPath; }
  const nlohmann::json& Value() const { return *m_pValue; }
  bool IsNull() const { return m_pValue->is_null(); }

  // Requires an object whose keys are all among `allowed`.
  void RequireObject(std::initializer_list<std::string_view> allowed) const;
  bool Has(std::string_view key) const;
  // The member `key` of an object; it must be present.
  CJsonField Member(std::string_view key) const;

  // Requires an array; Element(i) is its i-th entry.
  std::size_t ArraySize() const;
  CJsonField Element(std::size_t index) const;

  std::string String() const;
  std::int64_t Integer(std::int64_t min, std::int64_t max) const;
  bool Boolean() const;
  // An id of the service (user, group, event): a non-negative integer that fits 63 bits,
  // written as a number or as a string of decimal digits. Returned as its digits.
  std::string Id() const;

  [[noreturn]] void Fail(std::string_view what) const;

 private:
  const nlohmann::json* m_pValue;
  std::string m_strPath;
};

// The deepest nesting of objects and arrays a document may have; no document of ours comes
// near it.
inline constexpr std::size_t kDeepestNesting = 64;

// Parses `text` as JSON. A syntax error is reported as a CFieldError naming `what`; a number
// out of range, a text that is not UTF-8 or nesting deeper than kDeepestNesting as one naming
// the field it is in.
nlohmann::json ParseJsonDocument(std::string_view text, std::string_view what);

bool IsUtf8(std::string_view text);

// `text` in double quotes, escaped as JSON writes it (control characters as \uXXXX, invalid
// UTF-8 as U+FFFD), so that a message quoting what a sender wrote shows every byte of it and
// cannot be cut short by a NUL or split by a line feed.
std::string QuotedText(std::string_view text);

// The path of the member `key` of the field at `path`: "a.b", with `key` quoted (a."b c")
// unless it is a plain name.
std::string MemberPath(const std::string& path, std::string_view key);

// A JSON document written out with U+FFFD in place of any invalid UTF-8 it holds.
std::string DumpJson(const nlohmann::json& document);
