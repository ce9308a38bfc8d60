// How an answer of the service appears in the diagnostic log.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class IXmlParser;

// The first `limit` bytes of `response` after the content of every "session_key" and
// "secret" element (with or without a namespace prefix) has been replaced by a fixed mask, as
// has the "value" that follows a "key" naming either of them (the request arguments that
// error answers echo). The scan looks past comments, CDATA and quoted attribute values, and
// masks from a secret's start tag to its own end tag, or to the end of the text when there is
// none. Where `parser` is given and the answer parses, every secret text the document holds
// is also masked wherever the scan left it. Zero bytes read as "\0", so the line is not cut
// short.
std::string FormatResponseForLog(std::string_view response, std::size_t limit,
                                 IXmlParser* parser = nullptr);
