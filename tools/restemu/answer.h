// The answers of the REST server. A method builds its answer as a small tree of named nodes;
// the tree is then written either as the XML document of API version 1.0 (default namespace,
// xsi namespace, list="true" on lists, pretty-printed) or as JSON, where lists become arrays,
// records objects keyed by their element names, and scalars strings, numbers or booleans.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/restemu/form_params.h"

inline constexpr const char* kServiceNamespace = "http://api.facebook.com/1.0/";

class CAnswerNode {
 public:
  enum class Kind { kText, kNumber, kBool, kRecord, kList };

  static CAnswerNode Text(std::string name, std::string text);
  static CAnswerNode Number(std::string name, std::int64_t value);
  static CAnswerNode Bool(std::string name, bool value);
  static CAnswerNode Record(std::string name, std::vector<CAnswerNode> children = {});
  static CAnswerNode List(std::string name, std::vector<CAnswerNode> children = {});

  // Marks a record with list="true" in XML, as the service does on some records.
  CAnswerNode& MarkAsList() {
    m_bListMark = true;
    return *this;
  }
  CAnswerNode& Add(CAnswerNode child) {
    m_aChildren.push_back(std::move(child));
    return *this;
  }

  Kind GetKind() const { return m_kind; }
  const std::string& Name() const { return m_strName; }
  const std::string& Text() const { return m_strText; }
  const std::vector<CAnswerNode>& Children() const { return m_aChildren; }
  bool HasListMark() const { return m_bListMark || m_kind == Kind::kList; }

 private:
  CAnswerNode(Kind kind, std::string name) : m_kind(kind), m_strName(std::move(name)) {}

  Kind m_kind;
  std::string m_strName;
  std::string m_strText;  // decimal digits for numbers, "1" or "0" for booleans
  bool m_bListMark = false;
  std::vector<CAnswerNode> m_aChildren;
};

// One whole answer: its root node and the few layout details that differ between methods.
struct AnswerDocument {
  CAnswerNode root = CAnswerNode::Record("error_response");
  bool bSchemaLocation = true;  // xsi:schemaLocation on the root element
  bool bPadRootText = false;    // a text root written on its own indented line
};

std::string WriteXmlAnswer(const AnswerDocument& document);
std::string WriteJsonAnswer(const AnswerDocument& document);

// `text` with &, <, > and " written as entities, as the service writes text in its answers;
// also right for HTML text and attribute values in double quotes.
std::string EscapeMarkup(std::string_view text);

// Text made safe for an XML document: invalid UTF-8 becomes U+FFFD and control characters
// that XML 1.0 forbids are dropped.
std::string ToXmlSafeText(std::string_view text);

// The service's own message for an error code ("Invalid API key" for 101).
std::string ErrorMessageFor(int code);

// The error_response answer: code, message and every request parameter as key and value.
AnswerDocument ErrorAnswer(int code, const std::string& message, const CRequestParams& args);
