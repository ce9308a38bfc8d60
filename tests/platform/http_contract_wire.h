// The HTTP contract peer's wire form: scripted answers and recorded requests as byte strings,
// so that a test on one system can drive a peer on another (the Windows suite under Wine and
// the loopback server in a Linux program). Every field is "<decimal length>:<bytes>", so any
// byte, NUL included, passes unchanged.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/platform/http_transport_contract.h"

class CWireWriter {
 public:
  CWireWriter& Add(const std::string& field) {
    m_strText += std::to_string(field.size()) + ":" + field;
    return *this;
  }
  CWireWriter& Add(long long number) { return Add(std::to_string(number)); }
  const std::string& Text() const { return m_strText; }

 private:
  std::string m_strText;
};

class CWireReader {
 public:
  explicit CWireReader(std::string text) : m_strText(std::move(text)) {}
  std::string Field() {
    const std::size_t colon = m_strText.find(':', m_nAt);
    if (colon == std::string::npos) {
      throw std::runtime_error("wire: a field is missing");
    }
    const std::size_t length = std::stoull(m_strText.substr(m_nAt, colon - m_nAt));
    if (colon + 1 + length > m_strText.size()) {
      throw std::runtime_error("wire: a field is cut short");
    }
    m_nAt = colon + 1 + length;
    return m_strText.substr(colon + 1, length);
  }
  long long Number() { return std::stoll(Field()); }

 private:
  std::string m_strText;
  std::size_t m_nAt = 0;
};

inline void WriteHeaders(CWireWriter& out, const HttpHeaderList& headers) {
  out.Add(static_cast<long long>(headers.size()));
  for (const auto& [name, value] : headers) {
    out.Add(name).Add(value);
  }
}

inline HttpHeaderList ReadHeaders(CWireReader& in) {
  HttpHeaderList headers(static_cast<std::size_t>(in.Number()));
  for (auto& header : headers) {
    header.first = in.Field();
    header.second = in.Field();
  }
  return headers;
}

inline std::string EncodeAnswer(const HttpScriptedAnswer& answer) {
  CWireWriter out;
  out.Add(answer.nStatus).Add(answer.dwGapMs).Add(answer.bEchoBody ? 1 : 0);
  out.Add(static_cast<long long>(answer.eEnd));
  WriteHeaders(out, answer.aHeaders);
  out.Add(static_cast<long long>(answer.aChunks.size()));
  for (const std::string& chunk : answer.aChunks) {
    out.Add(chunk);
  }
  return out.Text();
}

inline HttpScriptedAnswer DecodeAnswer(const std::string& text) {
  CWireReader in(text);
  HttpScriptedAnswer answer;
  answer.nStatus = static_cast<std::int32_t>(in.Number());
  answer.dwGapMs = static_cast<std::uint32_t>(in.Number());
  answer.bEchoBody = in.Number() != 0;
  answer.eEnd = static_cast<HttpScriptedAnswer::EEnd>(in.Number());
  answer.aHeaders = ReadHeaders(in);
  answer.aChunks.resize(static_cast<std::size_t>(in.Number()));
  for (std::string& chunk : answer.aChunks) {
    chunk = in.Field();
  }
  return answer;
}

inline std::string EncodeRequests(const std::vector<HttpRecordedRequest>& requests) {
  CWireWriter out;
  out.Add(static_cast<long long>(requests.size()));
  for (const HttpRecordedRequest& request : requests) {
    out.Add(request.strMethod).Add(request.strTarget).Add(request.strBody);
    out.Add(request.nClientPort);
    WriteHeaders(out, request.aHeaders);
  }
  return out.Text();
}

inline std::vector<HttpRecordedRequest> DecodeRequests(const std::string& text) {
  CWireReader in(text);
  std::vector<HttpRecordedRequest> requests(static_cast<std::size_t>(in.Number()));
  for (HttpRecordedRequest& request : requests) {
    request.strMethod = in.Field();
    request.strTarget = in.Field();
    request.strBody = in.Field();
    request.nClientPort = static_cast<int>(in.Number());
    request.aHeaders = ReadHeaders(in);
  }
  return requests;
}
