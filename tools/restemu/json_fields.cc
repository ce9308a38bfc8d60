#include "tools/restemu/json_fields.h"

#include <limits>
#include <optional>
#include <vector>

void CJsonField::Fail(std::string_view what) const {
  throw CFieldError((m_strPath.empty() ? std::string("(top level)") : m_strPath) + ": " +
                    std::string(what));
}

void CJsonField::RequireObject(std::initializer_list<std::string_view> allowed) const {
  if (!m_pValue->is_object()) {
    Fail("expected an object");
  }
  for (const auto& item : m_pValue->items()) {
    bool bKnown = false;
    for (std::string_view name : allowed) {
      bKnown = bKnown || name == item.key();
    }
    if (!bKnown) {
      CJsonField(item.value(), MemberPath(m_strPath, item.key())).Fail("unknown field");
    }
  }
}

bool CJsonField::Has(std::string_view key) const {
  return m_pValue->is_object() && m_pValue->contains(key);
}

CJsonField CJsonField::Member(std::string_view key) const {
  const std::string path = MemberPath(m_strPath, key);
  if (!Has(key)) {
    throw CFieldError(path + ": missing");
  }
  return CJsonField(m_pValue->at(std::string(key)), path);
}

std::size_t CJsonField::ArraySize() const {
  if (!m_pValue->is_array()) {
    Fail("expected a list");
  }
  return m_pValue->size();
}

CJsonField CJsonField::Element(std::size_t index) const {
  return CJsonField(m_pValue->at(index), m_strPath + "[" + std::to_string(index) + "]");
}

std::string CJsonField::String() const {
  if (!m_pValue->is_string()) {
    Fail("expected a text");
  }
  return m_pValue->get<std::string>();
}

std::int64_t CJsonField::Integer(std::int64_t min, std::int64_t max) const {
  if (!m_pValue->is_number_integer()) {
    Fail("expected a whole number");
  }
  const bool bUnsigned = m_pValue->is_number_unsigned();
  if (bUnsigned && m_pValue->get<std::uint64_t>() >
                       static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
    Fail("number out of range");
  }
  const std::int64_t value = m_pValue->get<std::int64_t>();
  if (value < min || value > max) {
    Fail("expected a number from " + std::to_string(min) + " to " + std::to_string(max));
  }
  return value;
}

bool CJsonField::Boolean() const {
  if (!m_pValue->is_boolean()) {
    Fail("expected true or false");
  }
  return m_pValue->get<bool>();
}

std::string CJsonField::Id() const {
  if (m_pValue->is_number_integer()) {
    return std::to_string(Integer(0, 999999999999999999));
  }
  if (m_pValue->is_string()) {
    const std::string text = m_pValue->get<std::string>();
    bool bDigits = !text.empty() && text.size() <= 18;
    for (char c : text) {
      bDigits = bDigits && c >= '0' && c <= '9';
    }
    if (bDigits) {
      return std::to_string(std::stoll(text));
    }
  }
  Fail("expected an id: decimal digits, at most 18 of them");
}

namespace {

// Builds the document while keeping the path of the value being read, so that a number out
// of range or a text that is not UTF-8 is reported at its field, like every other mistake.
class CPathTrackingReader : public nlohmann::json_sax<nlohmann::json> {
 public:
  CPathTrackingReader(nlohmann::json& document, std::string_view what)
      : m_builder(document), m_strWhat(what) {}

  bool null() override { return Scalar(m_builder.null()); }
  bool boolean(bool value) override { return Scalar(m_builder.boolean(value)); }
  bool number_integer(number_integer_t value) override {
    return Scalar(m_builder.number_integer(value));
  }
  bool number_unsigned(number_unsigned_t value) override {
    return Scalar(m_builder.number_unsigned(value));
  }
  bool number_float(number_float_t value, const string_t& text) override {
    return Scalar(m_builder.number_float(value, text));
  }
  bool string(string_t& value) override { return Scalar(m_builder.string(value)); }
  bool binary(binary_t& value) override { return Scalar(m_builder.binary(value)); }
  bool start_object(std::size_t size) override {
    Open(false);
    return m_builder.start_object(size);
  }
  bool key(string_t& name) override {
    m_aLevels.back().key = name;
    return m_builder.key(name);
  }
  bool end_object() override { return Close(m_builder.end_object()); }
  bool start_array(std::size_t size) override {
    Open(true);
    return m_builder.start_array(size);
  }
  bool end_array() override { return Close(m_builder.end_array()); }

  bool parse_error(std::size_t, const std::string&,
                   const nlohmann::detail::exception& error) override {
    constexpr int kNumberOverflow = 406;
    const std::string message = error.what();
    if (error.id == kNumberOverflow) {
      Fail("number out of range");
    }
    if (message.find("UTF-8") != std::string::npos) {
      Fail("not valid UTF-8");
    }
    throw CFieldError(m_strWhat + " is not valid JSON: " + message);
  }

 private:
  struct Level {
    bool bArray = false;
    std::optional<std::string> key;  // in an object: the member being read
    std::size_t nCount = 0;          // in an array: the elements read so far
  };

  bool Scalar(bool bResult) {
    if (!m_aLevels.empty() && m_aLevels.back().bArray) {
      ++m_aLevels.back().nCount;
    }
    return bResult;
  }
  // Copying, comparing and writing a document all recurse: a few kilobytes of brackets would
  // otherwise end the process on a stack overflow instead of in an error.
  void Open(bool bArray) {
    if (m_aLevels.size() == kDeepestNesting) {
      Fail("nested more than " + std::to_string(kDeepestNesting) + " levels deep");
    }
    m_aLevels.push_back({bArray, std::nullopt, 0});
  }
  bool Close(bool bResult) {
    m_aLevels.pop_back();
    return Scalar(bResult);
  }

  [[noreturn]] void Fail(std::string_view what) const {
    std::string path;
    for (const Level& level : m_aLevels) {
      if (level.bArray) {
        path += "[" + std::to_string(level.nCount) + "]";
      } else if (level.key) {
        path = MemberPath(path, *level.key);
      }
    }
    static const nlohmann::json kUnread;
    CJsonField(kUnread, path).Fail(what);
  }

  nlohmann::detail::json_sax_dom_parser<nlohmann::json> m_builder;
  std::string m_strWhat;
  std::vector<Level> m_aLevels;
};

}  // namespace

nlohmann::json ParseJsonDocument(std::string_view text, std::string_view what) {
  nlohmann::json document;
  CPathTrackingReader reader(document, what);
  nlohmann::json::sax_parse(text.begin(), text.end(), &reader);
  return document;
}

bool IsUtf8(std::string_view text) {
  try {
    static_cast<void>(nlohmann::json(std::string(text)).dump());
    return true;
  } catch (const nlohmann::json::type_error&) {
    return false;
  }
}

std::string QuotedText(std::string_view text) {
  return DumpJson(nlohmann::json(std::string(text)));
}

std::string MemberPath(const std::string& path, std::string_view key) {
  bool bPlain = !key.empty();
  for (const char c : key) {
    bPlain = bPlain && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-');
  }
  const std::string name = bPlain ? std::string(key) : QuotedText(key);
  return path.empty() ? name : path + "." + name;
}

std::string DumpJson(const nlohmann::json& document) {
  return document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}
