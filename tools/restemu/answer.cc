#include "tools/restemu/answer.h"

#include <nlohmann/json.hpp>

namespace {

void AppendEscaped(std::string& out, std::string_view text) {
  out += EscapeMarkup(ToXmlSafeText(text));
}

void WriteXmlNode(std::string& out, const CAnswerNode& node, int depth) {
  const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
  out += indent;
  out += '<';
  out += node.Name();
  if (node.HasListMark()) {
    out += " list=\"true\"";
  }
  const bool bContainer =
      node.GetKind() == CAnswerNode::Kind::kRecord || node.GetKind() == CAnswerNode::Kind::kList;
  if (bContainer ? node.Children().empty() : node.Text().empty()) {
    out += "/>\n";
    return;
  }
  out += '>';
  if (bContainer) {
    out += '\n';
    for (const CAnswerNode& child : node.Children()) {
      WriteXmlNode(out, child, depth + 1);
    }
    out += indent;
  } else {
    AppendEscaped(out, node.Text());
  }
  out += "</";
  out += node.Name();
  out += ">\n";
}

nlohmann::ordered_json ToJson(const CAnswerNode& node) {
  switch (node.GetKind()) {
    case CAnswerNode::Kind::kText:
      return node.Text();
    case CAnswerNode::Kind::kNumber:
      return std::stoll(node.Text());
    case CAnswerNode::Kind::kBool:
      return node.Text() == "1";
    case CAnswerNode::Kind::kRecord: {
      nlohmann::ordered_json object = nlohmann::ordered_json::object();
      for (const CAnswerNode& child : node.Children()) {
        object[child.Name()] = ToJson(child);
      }
      return object;
    }
    case CAnswerNode::Kind::kList: {
      nlohmann::ordered_json array = nlohmann::ordered_json::array();
      for (const CAnswerNode& child : node.Children()) {
        array.push_back(ToJson(child));
      }
      return array;
    }
  }
  return nullptr;
}

}  // namespace

CAnswerNode CAnswerNode::Text(std::string name, std::string text) {
  CAnswerNode node(Kind::kText, std::move(name));
  node.m_strText = std::move(text);
  return node;
}

CAnswerNode CAnswerNode::Number(std::string name, std::int64_t value) {
  CAnswerNode node(Kind::kNumber, std::move(name));
  node.m_strText = std::to_string(value);
  return node;
}

CAnswerNode CAnswerNode::Bool(std::string name, bool value) {
  CAnswerNode node(Kind::kBool, std::move(name));
  node.m_strText = value ? "1" : "0";
  return node;
}

CAnswerNode CAnswerNode::Record(std::string name, std::vector<CAnswerNode> children) {
  CAnswerNode node(Kind::kRecord, std::move(name));
  node.m_aChildren = std::move(children);
  return node;
}

CAnswerNode CAnswerNode::List(std::string name, std::vector<CAnswerNode> children) {
  CAnswerNode node(Kind::kList, std::move(name));
  node.m_aChildren = std::move(children);
  return node;
}

std::string EscapeMarkup(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

std::string ToXmlSafeText(std::string_view text) {
  static const char kReplacement[] = "\xEF\xBF\xBD";
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      if (lead >= 0x20 || lead == '\t' || lead == '\n' || lead == '\r') {
        out.push_back(static_cast<char>(lead));
      }
      ++i;
      continue;
    }
    std::size_t length = 0;
    std::uint32_t codePoint = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      codePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      codePoint = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      codePoint = lead & 0x07u;
    }
    bool bValid = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; bValid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      bValid = (next & 0xC0u) == 0x80u;
      codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    // Overlong forms, surrogates, values past U+10FFFF and the two non-characters XML
    // forbids are not text.
    if (bValid) {
      bValid = !(length == 3 && codePoint < 0x800) && !(length == 4 && codePoint < 0x10000) &&
               !(codePoint >= 0xD800 && codePoint <= 0xDFFF) && codePoint <= 0x10FFFF &&
               codePoint != 0xFFFE && codePoint != 0xFFFF;
    }
    if (bValid) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += kReplacement;
      ++i;
    }
  }
  return out;
}

std::string WriteXmlAnswer(const AnswerDocument& document) {
  const CAnswerNode& root = document.root;
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<";
  out += root.Name();
  out += " xmlns=\"";
  out += kServiceNamespace;
  out += "\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";
  if (document.bSchemaLocation) {
    out += " xsi:schemaLocation=\"";
    out += kServiceNamespace;
    out += ' ';
    out += kServiceNamespace;
    out += "facebook.xsd\"";
  }
  if (root.HasListMark()) {
    out += " list=\"true\"";
  }
  out += '>';
  if (root.GetKind() == CAnswerNode::Kind::kRecord || root.GetKind() == CAnswerNode::Kind::kList) {
    out += '\n';
    for (const CAnswerNode& child : root.Children()) {
      WriteXmlNode(out, child, 1);
    }
  } else if (document.bPadRootText) {
    out += "\n  ";
    AppendEscaped(out, root.Text());
    out += "\n";
  } else {
    AppendEscaped(out, root.Text());
  }
  out += "</";
  out += root.Name();
  out += ">\n";
  return out;
}

std::string WriteJsonAnswer(const AnswerDocument& document) {
  // An empty list at the top is written as an empty object, as the service did for a query
  // that found nothing.
  if (document.root.GetKind() == CAnswerNode::Kind::kList && document.root.Children().empty()) {
    return "{}";
  }
  return ToJson(document.root)
      .dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string ErrorMessageFor(int code) {
  switch (code) {
    case 1:
      return "An unknown error occurred";
    case 2:
      return "Service temporarily unavailable";
    case 3:
      return "Unknown method";
    case 4:
      return "Application request limit reached";
    case 100:
      return "Invalid parameter";
    case 101:
      return "Invalid API key";
    case 102:
      return "Session key invalid or no longer valid";
    case 103:
      return "Call_id must be greater than previous";
    case 104:
      return "Incorrect signature";
    case 200:
      return "Permissions error";
    case 250:
      return "Updating status requires the extended permission status_update";
    case 450:
      return "Session key specified has passed its expiration time";
    case 601:
      return "Parser error";
    default:
      return "An unknown error occurred";
  }
}

AnswerDocument ErrorAnswer(int code, const std::string& message, const CRequestParams& args) {
  CAnswerNode requestArgs = CAnswerNode::List("request_args");
  for (const RequestParam& param : args.Items()) {
    requestArgs.Add(CAnswerNode::Record("arg", {CAnswerNode::Text("key", param.strName),
                                                CAnswerNode::Text("value", param.strValue)}));
  }
  AnswerDocument document;
  document.root = CAnswerNode::Record(
      "error_response", {CAnswerNode::Number("error_code", code),
                         CAnswerNode::Text("error_msg", message), std::move(requestArgs)});
  return document;
}
