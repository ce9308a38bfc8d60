#include "platform/libxml2/libxml2_parser.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <climits>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "common/text.h"

namespace {

constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_IGNORE_ENC;

std::once_flag g_initOnce;

void InitLibxml2Once() {
  std::call_once(g_initOnce, [] { xmlInitParser(); });
}

void IgnoreXmlError(void*, xmlErrorPtr) {}

const char* AsChars(const xmlChar* text) {
  return reinterpret_cast<const char*>(text);
}
const xmlChar* AsXmlChars(const char* text) {
  return reinterpret_cast<const xmlChar*>(text);
}

std::wstring WideFromXml(const xmlChar* text) {
  return text != nullptr ? Utf8ToWide(AsChars(text)) : std::wstring();
}

// A location path of child steps only ("nfb:status/nfb:message"): most selections are of
// this form, and a walk over the children answers them exactly as XPath would, in document
// order, without building node sets.
struct ChildStep {
  bool bInNamespace;  // prefixed with the bound prefix; otherwise in no namespace
  std::string strLocalName;
};

bool IsNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsNameChar(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// The steps of `xpath` when it is such a path, with no prefix but `prefix`; false otherwise.
bool ParseChildSteps(const std::string& xpath, const std::string& prefix,
                     std::vector<ChildStep>* steps) {
  std::size_t at = 0;
  while (at <= xpath.size()) {
    std::size_t end = xpath.find('/', at);
    end = end == std::string::npos ? xpath.size() : end;
    std::string step = xpath.substr(at, end - at);
    bool inNamespace = false;
    const std::size_t colon = step.find(':');
    if (colon != std::string::npos) {
      if (prefix.empty() || step.compare(0, colon, prefix) != 0 || colon != prefix.size()) {
        return false;
      }
      step.erase(0, colon + 1);
      inNamespace = true;
    }
    if (step.empty() || !IsNameStart(step[0]) ||
        !std::all_of(step.begin(), step.end(), IsNameChar)) {
      return false;
    }
    steps->push_back({inNamespace, std::move(step)});
    at = end + 1;
  }
  return true;
}

// A selection made ready once per document and expression.
struct CompiledSelection {
  std::vector<ChildStep> aSteps;              // used when not empty
  xmlXPathCompExprPtr pExpression = nullptr;  // otherwise; null: not a valid expression
};

// One parsed document with the XPath context its selections share.
class CLibxml2Document {
 public:
  CLibxml2Document(xmlDocPtr doc, std::string prefix, std::string namespaceUri)
      : m_doc(doc), m_strPrefix(std::move(prefix)), m_strNamespaceUri(std::move(namespaceUri)) {}
  CLibxml2Document(const CLibxml2Document&) = delete;
  CLibxml2Document& operator=(const CLibxml2Document&) = delete;

  ~CLibxml2Document() {
    for (auto& entry : m_compiled) {
      if (entry.second.pExpression != nullptr) {
        xmlXPathFreeCompExpr(entry.second.pExpression);
      }
    }
    if (m_context != nullptr) {
      xmlXPathFreeContext(m_context);
    }
    xmlFreeDoc(m_doc);
  }

  // The nodes `xpath` selects from `node`, in document order; only the first when
  // `firstOnly`. False when the expression is invalid or gives no node set.
  bool Select(xmlNodePtr node, const std::wstring& xpath, bool firstOnly,
              std::vector<xmlNodePtr>* found) {
    const CompiledSelection* selection = Compile(xpath);
    if (selection == nullptr) {
      return false;
    }
    if (!selection->aSteps.empty()) {
      WalkChildSteps(node, selection->aSteps, 0, firstOnly, found);
      return true;
    }
    m_context->node = node;
    XPathObject result(xmlXPathCompiledEval(selection->pExpression, m_context));
    if (!result || result->type != XPATH_NODESET) {
      return false;
    }
    if (xmlNodeSetPtr nodes = result->nodesetval) {
      xmlXPathNodeSetSort(nodes);
      for (int i = 0; i < nodes->nodeNr && !(firstOnly && !found->empty()); ++i) {
        // Namespace declarations in a node set are not xmlNode structures.
        if (nodes->nodeTab[i] != nullptr && nodes->nodeTab[i]->type != XML_NAMESPACE_DECL) {
          found->push_back(nodes->nodeTab[i]);
        }
      }
    }
    return true;
  }

 private:
  struct XPathObjectDeleter {
    void operator()(xmlXPathObjectPtr object) const { xmlXPathFreeObject(object); }
  };
  using XPathObject = std::unique_ptr<xmlXPathObject, XPathObjectDeleter>;

  const CompiledSelection* Compile(const std::wstring& xpath) {
    auto found = m_compiled.find(xpath);
    if (found != m_compiled.end()) {
      return found->second.pExpression != nullptr || !found->second.aSteps.empty() ? &found->second
                                                                                   : nullptr;
    }
    CompiledSelection& selection = m_compiled[xpath];
    const std::string utf8 = WideToUtf8(xpath);
    if (ParseChildSteps(utf8, m_strPrefix, &selection.aSteps)) {
      return &selection;
    }
    selection.aSteps.clear();
    if (!EnsureContext()) {
      return nullptr;
    }
    selection.pExpression = xmlXPathCtxtCompile(m_context, AsXmlChars(utf8.c_str()));
    return selection.pExpression != nullptr ? &selection : nullptr;
  }

  bool EnsureContext() {
    if (m_context == nullptr) {
      m_context = xmlXPathNewContext(m_doc);
      if (m_context == nullptr) {
        return false;
      }
      m_context->error = IgnoreXmlError;
      if (!m_strPrefix.empty()) {
        xmlXPathRegisterNs(m_context, AsXmlChars(m_strPrefix.c_str()),
                           AsXmlChars(m_strNamespaceUri.c_str()));
      }
    }
    return true;
  }

  bool Matches(xmlNodePtr node, const ChildStep& step) const {
    if (node->type != XML_ELEMENT_NODE ||
        !xmlStrEqual(node->name, AsXmlChars(step.strLocalName.c_str()))) {
      return false;
    }
    if (!step.bInNamespace) {
      return node->ns == nullptr;
    }
    return node->ns != nullptr &&
           xmlStrEqual(node->ns->href, AsXmlChars(m_strNamespaceUri.c_str()));
  }

  // Depth first over the steps, which is document order for child paths.
  void WalkChildSteps(xmlNodePtr node, const std::vector<ChildStep>& steps, std::size_t step,
                      bool firstOnly, std::vector<xmlNodePtr>* found) const {
    for (xmlNodePtr child = node->children; child != nullptr; child = child->next) {
      if (!Matches(child, steps[step])) {
        continue;
      }
      if (step + 1 == steps.size()) {
        found->push_back(child);
      } else {
        WalkChildSteps(child, steps, step + 1, firstOnly, found);
      }
      if (firstOnly && !found->empty()) {
        return;
      }
    }
  }

  xmlDocPtr m_doc;
  std::string m_strPrefix;
  std::string m_strNamespaceUri;
  xmlXPathContextPtr m_context = nullptr;
  std::unordered_map<std::wstring, CompiledSelection> m_compiled;
};

class CLibxml2Node : public IXmlNode {
 public:
  CLibxml2Node(std::shared_ptr<CLibxml2Document> document, xmlNodePtr node)
      : m_document(std::move(document)), m_node(node) {}

  std::wstring Name() const override {
    switch (m_node->type) {
      case XML_TEXT_NODE:
        return L"#text";
      case XML_CDATA_SECTION_NODE:
        return L"#cdata-section";
      case XML_COMMENT_NODE:
        return L"#comment";
      case XML_DOCUMENT_NODE:
        return L"#document";
      default:
        break;
    }
    std::wstring name = WideFromXml(m_node->name);
    if (m_node->ns != nullptr && m_node->ns->prefix != nullptr &&
        (m_node->type == XML_ELEMENT_NODE || m_node->type == XML_ATTRIBUTE_NODE)) {
      name = WideFromXml(m_node->ns->prefix) + L":" + name;
    }
    return name;
  }

  std::wstring Text() const override {
    if (m_node->type == XML_TEXT_NODE || m_node->type == XML_CDATA_SECTION_NODE ||
        m_node->type == XML_COMMENT_NODE || m_node->type == XML_PI_NODE) {
      return WideFromXml(m_node->content);
    }
    const xmlNodePtr only = m_node->children;
    if (only != nullptr && only->next == nullptr && only->type == XML_TEXT_NODE) {
      return WideFromXml(only->content);  // the usual leaf element
    }
    // Text and CDATA of every descendant in document order. Entity references are not
    // entered: what an entity would expand to is never part of the text.
    std::string text;
    xmlNodePtr current = m_node->children;
    while (current != nullptr) {
      if ((current->type == XML_TEXT_NODE || current->type == XML_CDATA_SECTION_NODE) &&
          current->content != nullptr) {
        text.append(AsChars(current->content));
      }
      if (current->type == XML_ELEMENT_NODE && current->children != nullptr) {
        current = current->children;
        continue;
      }
      while (current != m_node && current->next == nullptr) {
        current = current->parent;
      }
      current = current == m_node ? nullptr : current->next;
    }
    return Utf8ToWide(text);
  }

  std::shared_ptr<IXmlNode> SelectSingle(const std::wstring& xpath) const override {
    std::vector<xmlNodePtr> found;
    if (!m_document->Select(m_node, xpath, true, &found) || found.empty()) {
      return nullptr;
    }
    return std::make_shared<CLibxml2Node>(m_document, found[0]);
  }

  bool SelectAll(const std::wstring& xpath,
                 std::vector<std::shared_ptr<IXmlNode>>* nodes) const override {
    nodes->clear();
    std::vector<xmlNodePtr> found;
    if (!m_document->Select(m_node, xpath, false, &found)) {
      return false;
    }
    nodes->reserve(found.size());
    for (xmlNodePtr node : found) {
      nodes->push_back(std::make_shared<CLibxml2Node>(m_document, node));
    }
    return true;
  }

 private:
  std::shared_ptr<CLibxml2Document> m_document;
  xmlNodePtr m_node;
};

struct ParserContextDeleter {
  void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};

}  // namespace

CLibxml2Parser::CLibxml2Parser() {
  InitLibxml2Once();
}

XmlLoadResult CLibxml2Parser::Load(std::string_view utf8Text, const std::wstring& prefix,
                                   const std::wstring& namespaceUri) {
  InitLibxml2Once();
  XmlLoadResult result;
  if (utf8Text.size() > static_cast<std::size_t>(INT_MAX)) {
    result.eOutcome = XmlLoadResult::Outcome::kLoadFailed;
    result.hrError = E_INVALIDARG;
    return result;
  }
  std::unique_ptr<xmlParserCtxt, ParserContextDeleter> context(xmlNewParserCtxt());
  if (!context) {
    result.eOutcome = XmlLoadResult::Outcome::kCreateFailed;
    result.hrError = E_OUTOFMEMORY;
    return result;
  }
  xmlDocPtr doc =
      xmlCtxtReadMemory(context.get(), utf8Text.data(), static_cast<int>(utf8Text.size()), nullptr,
                        "UTF-8", kParseOptions);
  if (doc == nullptr || !context->wellFormed) {
    xmlFreeDoc(doc);
    result.eOutcome = XmlLoadResult::Outcome::kNotWellFormed;
    return result;
  }
  auto document =
      std::make_shared<CLibxml2Document>(doc, WideToUtf8(prefix), WideToUtf8(namespaceUri));
  xmlNodePtr root = xmlDocGetRootElement(doc);
  if (root == nullptr) {
    result.eOutcome = XmlLoadResult::Outcome::kNoRoot;
    return result;
  }
  result.eOutcome = XmlLoadResult::Outcome::kLoaded;
  result.pRoot = std::make_shared<CLibxml2Node>(std::move(document), root);
  return result;
}
