// The XML seam on libxml2: documents parsed from memory as UTF-8 (an encoding named in the
// declaration is ignored, as for text that is already decoded), selections with XPath 1.0
// and one namespace prefix bound.
//
// Loading is safe for answers from the network: no DTD is loaded, no entity declared in a
// DTD is expanded (its references contribute nothing to a node's text), nothing is fetched
// from the network, and libxml2's default limits on size and depth stay in force.
//
// Each document keeps one XPath context and its compiled expressions, so a document's
// nodes belong to one thread at a time, as the seam says; parsing is safe from any number
// of threads at once.
#pragma once

#include "platform/xml_parser.h"

class CLibxml2Parser : public IXmlParser {
 public:
  CLibxml2Parser();

  XmlLoadResult Load(std::string_view utf8Text, const std::wstring& prefix,
                     const std::wstring& namespaceUri) override;
};
