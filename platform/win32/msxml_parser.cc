#include "platform/win32/msxml_parser.h"

#include <windows.h>
// After windows.h, whose types it needs.
#include <msxml2.h>

#include "common/text.h"
#include "platform/win32/win32_handles.h"

namespace {

// The mingw headers declare the interfaces but not these two ids.
const CLSID kClsidDomDocument30 = {
    0xf5078f32, 0xc551, 0x11d3, {0x89, 0xb9, 0x00, 0x00, 0xf8, 0x1f, 0xe2, 0x21}};
const IID kIidXmlDomDocument2 = {
    0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

// Gives a thread without COM an apartment, kept until the thread ends. A thread that has
// one (S_FALSE, or another model) gets its extra initialisation balanced at once.
void EnsureComOnThisThread() {
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (hr == S_OK) {
    struct CKeptApartment {
      ~CKeptApartment() { CoUninitialize(); }
    };
    thread_local CKeptApartment kept;
    (void)kept;
  } else if (hr == S_FALSE) {
    CoUninitialize();
  }
}

// The concatenated text of `node` and its descendants, white space and all; comments and
// processing instructions are not text.
void AppendText(IXMLDOMNode* node, std::wstring* text) {
  DOMNodeType type = NODE_INVALID;
  if (FAILED(node->get_nodeType(&type))) {
    return;
  }
  if (type == NODE_TEXT || type == NODE_CDATA_SECTION) {
    CVariant value;
    if (SUCCEEDED(node->get_nodeValue(value.Receive())) && value.Get().vt == VT_BSTR) {
      BSTR bstr = value.Get().bstrVal;
      text->append(bstr, SysStringLen(bstr));
    }
    return;
  }
  if (type == NODE_COMMENT || type == NODE_PROCESSING_INSTRUCTION) {
    return;
  }
  TComPtr<IXMLDOMNode> child;
  if (node->get_firstChild(child.Receive()) != S_OK) {
    return;
  }
  while (child) {
    AppendText(child.Get(), text);
    TComPtr<IXMLDOMNode> next;
    if (child->get_nextSibling(next.Receive()) != S_OK) {
      break;
    }
    child = std::move(next);
  }
}

class CMsxmlNode : public IXmlNode {
 public:
  explicit CMsxmlNode(TComPtr<IXMLDOMNode> node) : m_spNode(std::move(node)) {}

  std::wstring Name() const override {
    CBstr name;
    return SUCCEEDED(m_spNode->get_nodeName(name.Receive())) ? name.Text() : std::wstring();
  }

  std::wstring Text() const override {
    std::wstring text;
    AppendText(m_spNode.Get(), &text);
    return text;
  }

  std::shared_ptr<IXmlNode> SelectSingle(const std::wstring& xpath) const override {
    if (xpath.empty()) {
      return nullptr;
    }
    CBstr expression(xpath);
    TComPtr<IXMLDOMNode> found;
    if (m_spNode->selectSingleNode(expression.Get(), found.Receive()) != S_OK || !found) {
      return nullptr;
    }
    return std::make_shared<CMsxmlNode>(std::move(found));
  }

  bool SelectAll(const std::wstring& xpath,
                 std::vector<std::shared_ptr<IXmlNode>>* nodes) const override {
    nodes->clear();
    if (xpath.empty()) {
      return false;
    }
    CBstr expression(xpath);
    TComPtr<IXMLDOMNodeList> list;
    long length = 0;
    if (FAILED(m_spNode->selectNodes(expression.Get(), list.Receive())) || !list ||
        FAILED(list->get_length(&length))) {
      return false;
    }
    for (long i = 0; i < length; ++i) {
      TComPtr<IXMLDOMNode> item;
      if (list->get_item(i, item.Receive()) != S_OK || !item) {
        nodes->clear();
        return false;
      }
      nodes->push_back(std::make_shared<CMsxmlNode>(std::move(item)));
    }
    return true;
  }

 private:
  TComPtr<IXMLDOMNode> m_spNode;
};

XmlLoadResult Outcome(XmlLoadResult::Outcome outcome, HRESULT hr = S_OK) {
  XmlLoadResult result;
  result.eOutcome = outcome;
  result.hrError = hr;
  return result;
}

bool StartsWith(std::string_view text, std::size_t at, std::string_view prefix) {
  return text.substr(at, prefix.size()) == prefix;
}

}  // namespace

bool DeclaresDocumentType(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' ||
        (i == 0 && StartsWith(text, 0, "\xEF\xBB\xBF"))) {
      i += (c == '\xEF') ? 3 : 1;
    } else if (StartsWith(text, i, "<?")) {
      const std::size_t end = text.find("?>", i + 2);
      i = end == std::string_view::npos ? text.size() : end + 2;
    } else if (StartsWith(text, i, "<!--")) {
      const std::size_t end = text.find("-->", i + 4);
      i = end == std::string_view::npos ? text.size() : end + 3;
    } else {
      return StartsWith(text, i, "<!DOCTYPE");
    }
  }
  return false;
}

XmlLoadResult CMsxmlParser::Load(std::string_view utf8Text, const std::wstring& prefix,
                                 const std::wstring& namespaceUri) {
  EnsureComOnThisThread();
  TComPtr<IXMLDOMDocument2> document;
  HRESULT hr = CoCreateInstance(kClsidDomDocument30, nullptr, CLSCTX_INPROC_SERVER,
                                kIidXmlDomDocument2, document.ReceiveVoid());
  if (FAILED(hr) || !document) {
    return Outcome(XmlLoadResult::Outcome::kCreateFailed, FAILED(hr) ? hr : E_FAIL);
  }
  // The results of the settings are not checked: an MSXML that lacks one keeps its default.
  document->put_async(VARIANT_FALSE);
  document->put_validateOnParse(VARIANT_FALSE);
  document->put_resolveExternals(VARIANT_FALSE);
  document->put_preserveWhiteSpace(VARIANT_TRUE);
  document->setProperty(CBstr(L"ProhibitDTD").Get(), CVariant(true).Get());
  document->setProperty(CBstr(L"SelectionLanguage").Get(), CVariant(std::wstring(L"XPath")).Get());
  document->setProperty(CBstr(L"SelectionNamespaces").Get(),
                        CVariant(L"xmlns:" + prefix + L"='" + namespaceUri + L"'").Get());

  if (DeclaresDocumentType(utf8Text) || utf8Text.find('\0') != std::string_view::npos) {
    return Outcome(XmlLoadResult::Outcome::kNotWellFormed);
  }
  CBstr text(Utf8ToWide(utf8Text));
  VARIANT_BOOL parsed = VARIANT_FALSE;
  hr = document->loadXML(text.Get(), &parsed);
  if (FAILED(hr)) {
    return Outcome(XmlLoadResult::Outcome::kLoadFailed, hr);
  }
  if (parsed != VARIANT_TRUE) {
    return Outcome(XmlLoadResult::Outcome::kNotWellFormed);
  }
  TComPtr<IXMLDOMElement> root;
  hr = document->get_documentElement(root.Receive());
  if (FAILED(hr)) {
    return Outcome(XmlLoadResult::Outcome::kRootFailed, hr);
  }
  if (!root) {
    return Outcome(XmlLoadResult::Outcome::kNoRoot);
  }
  XmlLoadResult result = Outcome(XmlLoadResult::Outcome::kLoaded);
  // The element keeps its document alive once the document object is released.
  result.pRoot = std::make_shared<CMsxmlNode>(TComPtr<IXMLDOMNode>(root.Get()));
  return result;
}
