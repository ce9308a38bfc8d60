// How an answer of the service appears in the diagnostic log.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The first `limit` bytes of `response` after the text of every "session_key" and "secret"
// element (with or without a namespace prefix) has been replaced by a fixed mask, as has the
// "value" that follows a "key" naming either of them (the request arguments that error
// answers echo). Zero bytes read as "\0", so the line is not cut short.
std::string FormatResponseForLog(std::string_view response, std::size_t limit);
