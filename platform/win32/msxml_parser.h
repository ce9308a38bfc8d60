// The XML seam on MSXML 3 (DOMDocument30 through IXMLDOMDocument2): synchronous loading, no
// validation, no external resources, XPath selections with the caller's prefix bound.
//
// A document type declaration is refused before MSXML sees the text: the service's answers
// never carry one, and refusing it keeps entity expansion out of reach whatever the installed
// MSXML does with its own settings.
//
// COM: a thread that has not initialised COM is given a single-threaded apartment for the rest
// of its life at its first Load; the add-in's own threads all have one already.
#pragma once

#include "platform/xml_parser.h"

class CMsxmlParser : public IXmlParser {
 public:
  XmlLoadResult Load(std::string_view utf8Text, const std::wstring& prefix,
                     const std::wstring& namespaceUri) override;
};

// Whether the prolog of `text` (before the first element) declares a document type.
bool DeclaresDocumentType(std::string_view text);
