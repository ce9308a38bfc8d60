// The XML adapter on any document: loading, names, text, and the selections the client
// makes. Child paths such as "nfb:status/nfb:message" are answered by a walk of their own, so
// each is checked against libxml2's XPath evaluation of the same path.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/deployment.h"
#include "common/text.h"
#include "fuzz/fuzz_support.h"
#include "platform/libxml2/libxml2_parser.h"
#include "platform/xml_parser.h"

namespace {

// The client's child paths, and a few in no namespace.
constexpr const wchar_t* kChildPaths[] = {
    L"nfb:user",
    L"nfb:uid",
    L"nfb:name",
    L"nfb:session_key",
    L"nfb:error_code",
    L"nfb:status/nfb:message",
    L"nfb:status/nfb:time",
    L"nfb:messages/nfb:unread",
    L"nfb:friend_requests/nfb:uid",
    L"nfb:user/nfb:birthday",
    L"nfb:user/nfb:status/nfb:message",
    L"user/name",
    L"a",
};

// Expressions outside the walk's reach, which must simply answer.
constexpr const wchar_t* kOtherPaths[] = {
    L"//*",
    L"//text()",
    L".//nfb:uid",
    L"count(nfb:user)",
    L"nfb:user[2]/nfb:name",
    L"preceding-sibling::*[1][local-name()='key']",
    L"nfb:",
    L"/",
    L"..",
};

bool SameNodes(const std::vector<std::shared_ptr<IXmlNode>>& a,
               const std::vector<std::shared_ptr<IXmlNode>>& b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i]->Name() != b[i]->Name() || a[i]->Text() != b[i]->Text()) {
      return false;
    }
  }
  return true;
}

void CheckSelections(const IXmlNode& context) {
  for (const wchar_t* path : kChildPaths) {
    std::vector<std::shared_ptr<IXmlNode>> walked;
    std::vector<std::shared_ptr<IXmlNode>> evaluated;
    Require(context.SelectAll(path, &walked), "a child path is a valid selection");
    Require(context.SelectAll(std::wstring(L"./") + path, &evaluated),
            "the same path through XPath is a valid selection");
    Require(SameNodes(walked, evaluated), "a child path selects what XPath selects");
    const std::shared_ptr<IXmlNode> first = context.SelectSingle(path);
    Require(
        walked.empty() ? first == nullptr : first != nullptr && first->Text() == walked[0]->Text(),
        "the single selection is the first of all");
  }
  for (const wchar_t* path : kOtherPaths) {
    std::vector<std::shared_ptr<IXmlNode>> nodes;
    if (!context.SelectAll(path, &nodes)) {
      Require(nodes.empty(), "a selection that fails selects nothing");
    }
    for (const std::shared_ptr<IXmlNode>& node : nodes) {
      WideToUtf8(node->Name());
      WideToUtf8(node->Text());
    }
    context.SelectSingle(path);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static CLibxml2Parser parser;
  static const std::wstring kNamespace = Utf8ToWide(GetDeploymentConfig().strNamespaceUri);
  const std::string_view text = AsText(data, size);

  const XmlLoadResult load = parser.Load(text, L"nfb", kNamespace);
  Require((load.eOutcome == XmlLoadResult::Outcome::kLoaded) == (load.pRoot != nullptr),
          "a document loads exactly when it has a root");
  if (!load.pRoot) {
    return 0;
  }
  Require(!load.pRoot->Name().empty(), "an element has a name");
  CheckSelections(*load.pRoot);
  // The records inside, as the client reads each user of a list.
  std::vector<std::shared_ptr<IXmlNode>> users;
  load.pRoot->SelectAll(L"nfb:user", &users);
  for (std::size_t i = 0; i < users.size() && i < 4; ++i) {
    CheckSelections(*users[i]);
  }
  return 0;
}
