#include "tools/http_front/http_request.h"

#include <httplib.h>

#include <memory>

#include "tools/http_front/http_text.h"

namespace {

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    c = Lower(c);
  }
  return out;
}

// The characters of a method or a header name.
bool IsToken(std::string_view text) {
  if (text.empty()) {
    return false;
  }
  for (char c : text) {
    const bool bAlnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!bAlnum && std::string_view("!#$%&'*+-.^_`|~").find(c) == std::string_view::npos) {
      return false;
    }
  }
  return true;
}

bool HasControlCharacter(std::string_view text, bool bTabAllowed) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && !(bTabAllowed && c == '\t')) || byte == 0x7F) {
      return true;
    }
  }
  return false;
}

// Whether a comma-separated header value such as "keep-alive, Upgrade" holds `token`.
bool HasToken(std::string_view list, std::string_view token) {
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(',', start);
    if (end == std::string_view::npos) {
      end = list.size();
    }
    if (EqualsNoCase(Trimmed(list.substr(start, end - start)), token)) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

}  // namespace

std::string HttpRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : aHeaders) {
    if (EqualsNoCase(key, name)) {
      return value;
    }
  }
  return std::string();
}

void CRequestReader::Append(const char* data, std::size_t size) {
  m_strInput.append(data, size);
}

bool CRequestReader::HasStarted() const {
  if (m_phase != Phase::kHead) {
    return true;
  }
  for (std::size_t i = m_nPos; i < m_strInput.size(); ++i) {
    if (m_strInput[i] != '\r' && m_strInput[i] != '\n') {
      return true;
    }
  }
  return false;
}

bool CRequestReader::TakeContinueRequest() {
  const bool bContinue = m_bContinue;
  m_bContinue = false;
  return bContinue;
}

CRequestReader::State CRequestReader::Fail(int status, std::string reason) {
  m_phase = Phase::kFailed;
  m_nFailureStatus = status;
  m_strFailureReason = std::move(reason);
  m_bContinue = false;
  return State::kFailed;
}

CRequestReader::State CRequestReader::Advance() {
  State state = State::kNeedMore;
  for (;;) {
    const Phase before = m_phase;
    const std::size_t consumed = m_nPos;
    switch (m_phase) {
      case Phase::kHead:
        state = ReadHead();
        break;
      case Phase::kFixedBody:
        state = ReadFixedBody();
        break;
      case Phase::kChunkSize:
        state = ReadChunkSize();
        break;
      case Phase::kChunkData:
        state = ReadChunkData();
        break;
      case Phase::kChunkEnd:
        state = ReadChunkEnd();
        break;
      case Phase::kTrailer:
        state = ReadTrailer();
        break;
      case Phase::kDone:
        return State::kComplete;
      case Phase::kFailed:
        return State::kFailed;
    }
    if (state != State::kNeedMore) {
      return state;
    }
    if (m_phase == before && m_nPos == consumed) {
      Compact();
      return State::kNeedMore;
    }
  }
}

HttpRequest CRequestReader::TakeRequest() {
  HttpRequest request = std::move(m_request);
  m_request = HttpRequest();
  m_strEncoding.clear();
  m_nRemaining = 0;
  m_nTrailerBytes = 0;
  m_bContinue = false;
  m_phase = Phase::kHead;
  m_strInput.erase(0, m_nPos);
  m_nPos = 0;
  m_nScan = 0;
  return request;
}

void CRequestReader::Compact() {
  // The head is searched in place; a body's bytes are copied out, so what is behind them can go.
  if (m_phase != Phase::kHead && m_nPos > 64 * 1024 && m_nPos * 2 > m_strInput.size()) {
    m_strInput.erase(0, m_nPos);
    m_nPos = 0;
  }
}

bool CRequestReader::NextLine(std::string_view& line) {
  const std::size_t end = m_strInput.find('\n', m_nPos);
  if (end == std::string::npos) {
    return false;
  }
  line = std::string_view(m_strInput).substr(m_nPos, end - m_nPos);
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  m_nPos = end + 1;
  return true;
}

CRequestReader::State CRequestReader::ReadHead() {
  // Blank lines before a request line are skipped.
  while (m_nPos < m_strInput.size() && (m_strInput[m_nPos] == '\r' || m_strInput[m_nPos] == '\n')) {
    ++m_nPos;
  }
  // Nothing before the request line is kept, however many blank lines a client sends.
  m_strInput.erase(0, m_nPos);
  m_nScan = m_nScan > m_nPos ? m_nScan - m_nPos : 0;
  m_nPos = 0;
  std::size_t end = std::string::npos;
  while ((end = m_strInput.find('\n', m_nScan)) != std::string::npos) {
    m_nScan = end + 1;
    const bool bBlankLine =
        m_strInput[end - 1] == '\n' ||
        (m_strInput[end - 1] == '\r' && end - 1 > m_nPos && m_strInput[end - 2] == '\n');
    if (bBlankLine) {
      break;
    }
  }
  const std::size_t headBytes = (end == std::string::npos ? m_strInput.size() : end + 1) - m_nPos;
  if (headBytes > m_limits.nMaxHeadBytes) {
    return Fail(431, "the request head is larger than " +
                         std::to_string(m_limits.nMaxHeadBytes / 1024) + " KiB");
  }
  if (end == std::string::npos) {
    return State::kNeedMore;
  }
  const std::string head = m_strInput.substr(m_nPos, end + 1 - m_nPos);
  m_nPos = end + 1;
  return ParseHead(head);
}

CRequestReader::State CRequestReader::ParseHead(std::string_view head) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < head.size()) {
    std::size_t end = head.find('\n', start);
    std::string_view line = head.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    if (!line.empty()) {
      lines.push_back(line);
    }
    start = end + 1;
  }

  const std::string_view requestLine = lines.front();
  const std::size_t firstBlank = requestLine.find(' ');
  const std::size_t lastBlank = requestLine.rfind(' ');
  if (firstBlank == std::string_view::npos || firstBlank == lastBlank) {
    return Fail(400, "the request line is not: method, target, version");
  }
  const std::string_view method = requestLine.substr(0, firstBlank);
  const std::string_view target = requestLine.substr(firstBlank + 1, lastBlank - firstBlank - 1);
  const std::string_view version = requestLine.substr(lastBlank + 1);
  if (!IsToken(method)) {
    return Fail(400, "the method is not a token");
  }
  if (target.empty() || target.front() != '/' || target.find(' ') != std::string_view::npos ||
      HasControlCharacter(target, false)) {
    return Fail(400, "the target is not a path");
  }
  if (version != "HTTP/1.1" && version != "HTTP/1.0") {
    return version.rfind("HTTP/", 0) == 0 ? Fail(505, "only HTTP/1.0 and HTTP/1.1 are served")
                                          : Fail(400, "the request line has no HTTP version");
  }
  if (lines.size() - 1 > m_limits.nMaxHeaderFields) {
    return Fail(431, "the request has more than " + std::to_string(m_limits.nMaxHeaderFields) +
                         " header fields");
  }

  m_request.strMethod = std::string(method);
  m_request.strTarget = std::string(target);
  const std::size_t mark = target.find('?');
  m_request.strPath = PercentDecode(target.substr(0, mark));
  m_request.strQuery = mark == std::string_view::npos ? "" : std::string(target.substr(mark + 1));
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    const std::size_t colon = line.find(':');
    if (line.front() == ' ' || line.front() == '\t') {
      return Fail(400, "folded header lines are not taken");
    }
    if (colon == std::string_view::npos || !IsToken(line.substr(0, colon)) ||
        HasControlCharacter(line.substr(colon + 1), true)) {
      return Fail(400, "a header line is not: name, colon, value");
    }
    m_request.aHeaders.emplace_back(line.substr(0, colon), Trimmed(line.substr(colon + 1)));
  }

  const std::string connection = m_request.Header("Connection");
  m_request.bKeepAlive =
      version == "HTTP/1.1" ? !HasToken(connection, "close") : HasToken(connection, "keep-alive");

  const std::string encoding = Lowered(Trimmed(m_request.Header("Content-Encoding")));
  if (encoding == "gzip" || encoding == "deflate" || encoding == "br") {
    m_strEncoding = encoding;
  } else if (!encoding.empty() && encoding != "identity") {
    return Fail(415, "the content encoding \"" + encoding + "\" is not taken");
  }

  bool bHasLength = false;
  std::string length;
  for (const auto& [name, value] : m_request.aHeaders) {
    if (EqualsNoCase(name, "Content-Length")) {
      if (bHasLength && value != length) {
        return Fail(400, "the request has two different Content-Length headers");
      }
      bHasLength = true;
      length = value;
    }
  }
  const std::string transfer = Lowered(Trimmed(m_request.Header("Transfer-Encoding")));
  if (!transfer.empty()) {
    if (bHasLength) {
      return Fail(400, "the request has both Content-Length and Transfer-Encoding");
    }
    if (transfer != "chunked") {
      return Fail(501, "the transfer encoding \"" + transfer + "\" is not taken");
    }
    m_phase = Phase::kChunkSize;
  } else if (bHasLength) {
    if (length.empty() || length.size() > 18 ||
        length.find_first_not_of("0123456789") != std::string::npos) {
      return Fail(400, "the Content-Length is not a number");
    }
    m_nRemaining = static_cast<std::size_t>(std::stoull(length));
    if (m_nRemaining > m_limits.nMaxBodyBytes) {
      return Fail(
          413, "the body is larger than " + std::to_string(m_limits.nMaxBodyBytes / 1024) + " KiB");
    }
    m_phase = m_nRemaining > 0 ? Phase::kFixedBody : Phase::kDone;
  } else {
    m_phase = Phase::kDone;
  }
  if (m_phase == Phase::kDone) {
    return Finish();
  }
  m_bContinue = EqualsNoCase(m_request.Header("Expect"), "100-continue");
  return State::kNeedMore;
}

CRequestReader::State CRequestReader::ReadFixedBody() {
  const std::size_t take = std::min(m_nRemaining, m_strInput.size() - m_nPos);
  m_request.strBody.append(m_strInput, m_nPos, take);
  m_nPos += take;
  m_nRemaining -= take;
  m_bContinue = m_bContinue && take == 0;  // the client did not wait for the go-ahead
  if (m_nRemaining > 0) {
    return State::kNeedMore;
  }
  return Finish();
}

CRequestReader::State CRequestReader::ReadChunkSize() {
  constexpr std::size_t kMaxSizeLine = 1024;
  std::string_view line;
  if (!NextLine(line)) {
    return m_strInput.size() - m_nPos > kMaxSizeLine ? Fail(400, "a chunk size line is too long")
                                                     : State::kNeedMore;
  }
  m_bContinue = false;
  if (line.size() > kMaxSizeLine) {
    return Fail(400, "a chunk size line is too long");
  }
  const std::string_view digits = Trimmed(line.substr(0, line.find(';')));
  if (digits.empty() || digits.size() > 15 ||
      digits.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
    return Fail(400, "a chunk size is not a hexadecimal number");
  }
  const std::size_t size = static_cast<std::size_t>(std::stoull(std::string(digits), nullptr, 16));
  if (size == 0) {
    m_phase = Phase::kTrailer;
    return State::kNeedMore;
  }
  if (size > m_limits.nMaxBodyBytes - m_request.strBody.size()) {
    return Fail(
        413, "the body is larger than " + std::to_string(m_limits.nMaxBodyBytes / 1024) + " KiB");
  }
  m_nRemaining = size;
  m_phase = Phase::kChunkData;
  return State::kNeedMore;
}

CRequestReader::State CRequestReader::ReadChunkData() {
  const std::size_t take = std::min(m_nRemaining, m_strInput.size() - m_nPos);
  m_request.strBody.append(m_strInput, m_nPos, take);
  m_nPos += take;
  m_nRemaining -= take;
  if (m_nRemaining == 0) {
    m_phase = Phase::kChunkEnd;
  }
  return State::kNeedMore;
}

CRequestReader::State CRequestReader::ReadChunkEnd() {
  std::string_view line;
  if (m_strInput.size() - m_nPos < 2 && m_strInput.find('\n', m_nPos) == std::string::npos) {
    return State::kNeedMore;
  }
  if (!NextLine(line) || !line.empty()) {
    return Fail(400, "a chunk is longer than its size says");
  }
  m_phase = Phase::kChunkSize;
  return State::kNeedMore;
}

CRequestReader::State CRequestReader::ReadTrailer() {
  std::string_view line;
  const std::size_t start = m_nPos;
  if (!NextLine(line)) {
    return m_nTrailerBytes + (m_strInput.size() - m_nPos) > m_limits.nMaxHeadBytes
               ? Fail(431, "the trailers are too large")
               : State::kNeedMore;
  }
  m_nTrailerBytes += m_nPos - start;
  if (m_nTrailerBytes > m_limits.nMaxHeadBytes) {
    return Fail(431, "the trailers are too large");
  }
  if (!line.empty()) {
    return State::kNeedMore;  // trailer fields are read past; nothing here needs them
  }
  return Finish();
}

CRequestReader::State CRequestReader::Finish() {
  m_bContinue = false;
  if (!m_strEncoding.empty()) {
    std::unique_ptr<httplib::detail::decompressor> decompressor;
    if (m_strEncoding == "br") {
      decompressor = std::make_unique<httplib::detail::brotli_decompressor>();
    } else {
      decompressor = std::make_unique<httplib::detail::gzip_decompressor>();
    }
    std::string plain;
    bool bTooLarge = false;
    const bool bDone =
        decompressor->is_valid() &&
        decompressor->decompress(m_request.strBody.data(), m_request.strBody.size(),
                                 [&](const char* data, std::size_t size) {
                                   if (size > m_limits.nMaxBodyBytes - plain.size()) {
                                     bTooLarge = true;
                                     return false;
                                   }
                                   plain.append(data, size);
                                   return true;
                                 });
    if (bTooLarge) {
      return Fail(413, "the body is larger than " + std::to_string(m_limits.nMaxBodyBytes / 1024) +
                           " KiB unpacked");
    }
    if (!bDone) {
      return Fail(400, "the body is not valid " + m_strEncoding + " data");
    }
    m_request.strBody = std::move(plain);
  }
  m_phase = Phase::kDone;
  return State::kComplete;
}

const char* HttpReasonPhrase(int status) {
  switch (status) {
    case 100:
      return "Continue";
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 413:
      return "Payload Too Large";
    case 415:
      return "Unsupported Media Type";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    case 503:
      return "Service Unavailable";
    case 505:
      return "HTTP Version Not Supported";
    default:
      return "Unknown";
  }
}
