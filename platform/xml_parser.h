// XML seam: loads one answer document and selects nodes from it with XPath 1.0, with one
// namespace prefix bound for the selections.
//
// Safety: a parser never loads a DTD or any external resource, never expands entities
// declared in a DTD, never touches the network, and keeps its library's limits against huge
// or deeply nested documents. Such a document either fails to load or loads with the
// entity references left unexpanded.
//
// Errors: Load reports how far it got in `XmlLoadResult`; selections report "nothing" as
// null or false. Nothing throws except std::bad_alloc.
//
// Ownership and threading: a loaded tree lives as long as any node of it is held. One parser
// may load documents on several threads at once; the nodes of one document belong to one
// thread at a time.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/hresult.h"

class IXmlNode {
 public:
  virtual ~IXmlNode() = default;

  // The node's name as written in the document (a prefix included, if it has one).
  virtual std::wstring Name() const = 0;

  // The concatenated text of the node and all its descendants, exactly as in the document
  // (white space kept).
  virtual std::wstring Text() const = 0;

  // The first node that `xpath`, evaluated with this node as context, selects; null when
  // nothing matches or the expression is invalid.
  virtual std::shared_ptr<IXmlNode> SelectSingle(const std::wstring& xpath) const = 0;

  // Every node that `xpath` selects, in document order. false when the expression cannot be
  // evaluated; `nodes` is then empty.
  virtual bool SelectAll(const std::wstring& xpath,
                         std::vector<std::shared_ptr<IXmlNode>>* nodes) const = 0;
};

struct XmlLoadResult {
  enum class Outcome {
    kLoaded,          // pRoot is the document element
    kCreateFailed,    // no parser object could be made; hrError tells why
    kLoadFailed,      // the load call itself failed; hrError tells why
    kNotWellFormed,   // the text is not a well-formed document
    kRootFailed,      // the document element could not be read; hrError tells why
    kNoRoot,          // the document has no element
  };
  Outcome eOutcome = Outcome::kLoadFailed;
  HRESULT hrError = S_OK;
  std::shared_ptr<IXmlNode> pRoot;
};

class IXmlParser {
 public:
  virtual ~IXmlParser() = default;

  // Parses `utf8Text` as a document. `prefix` is bound to `namespaceUri` for every selection
  // made on its nodes (for example "nfb" for the service's namespace).
  virtual XmlLoadResult Load(std::string_view utf8Text, const std::wstring& prefix,
                             const std::wstring& namespaceUri) = 0;
};
