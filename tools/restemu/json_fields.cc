#include "tools/restemu/json_fields.h"

#include <limits>

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
      CJsonField(item.value(), m_strPath.empty() ? item.key() : m_strPath + "." + item.key())
          .Fail("unknown field");
    }
  }
}

bool CJsonField::Has(std::string_view key) const {
  return m_pValue->is_object() && m_pValue->contains(key);
}

CJsonField CJsonField::Member(std::string_view key) const {
  const std::string path =
      m_strPath.empty() ? std::string(key) : m_strPath + "." + std::string(key);
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

nlohmann::json ParseJsonDocument(std::string_view text, std::string_view what) {
  try {
    return nlohmann::json::parse(text.begin(), text.end());
  } catch (const nlohmann::json::parse_error& error) {
    throw CFieldError(std::string(what) + " is not valid JSON: " + error.what());
  }
}
