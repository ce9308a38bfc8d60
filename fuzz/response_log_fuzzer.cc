// The answer as it is written to the diagnostic log. The property: no session key or secret
// appears in the log, neither the session the client takes from a getSession answer (in any
// line the call writes) nor the text of any secret element of the answer, or of the value
// echoed beside a key naming one (in the answer's own line).
//
// Texts shorter than four bytes are not looked for: any such text may occur in the rest of
// the line by chance ("res" in "response"), and the log masks them only where they stand.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/text.h"
#include "facebook/call_result.h"
#include "facebook/http_post.h"
#include "facebook/response_log.h"
#include "fuzz/fuzz_client.h"
#include "fuzz/fuzz_support.h"
#include "platform/xml_parser.h"

namespace {

constexpr std::size_t kShortestChecked = 4;
constexpr std::string_view kResponseLine = "hr: response: ";

std::string Trimmed(const std::wstring& text) {
  const std::string utf8 = WideToUtf8(text);
  const std::size_t first = utf8.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) {
    return std::string();
  }
  return utf8.substr(first, utf8.find_last_not_of(" \t\r\n") + 1 - first);
}

void AddSecret(std::vector<std::string>* secrets, std::string text) {
  if (text.size() >= kShortestChecked) {
    secrets->push_back(std::move(text));
  }
}

// Every secret text the answer holds as a document: the elements named session_key or secret
// (any namespace), and each value that follows a key naming one of them.
std::vector<std::string> DocumentSecrets(CLibxml2Parser& parser, std::string_view answer) {
  std::vector<std::string> secrets;
  const XmlLoadResult load = parser.Load(answer, L"", L"");
  if (load.eOutcome != XmlLoadResult::Outcome::kLoaded || !load.pRoot) {
    return secrets;
  }
  std::vector<std::shared_ptr<IXmlNode>> nodes;
  load.pRoot->SelectAll(L"//*[local-name()='session_key' or local-name()='secret']", &nodes);
  std::vector<std::shared_ptr<IXmlNode>> values;
  load.pRoot->SelectAll(
      L"//*[local-name()='value'][preceding-sibling::*[1][local-name()='key' and "
      L"(normalize-space()='session_key' or normalize-space()='secret')]]",
      &values);
  nodes.insert(nodes.end(), values.begin(), values.end());
  for (const std::shared_ptr<IXmlNode>& node : nodes) {
    AddSecret(&secrets, Trimmed(node->Text()));
  }
  return secrets;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view answer = AsText(data, size);
  FuzzClient harness(answer);
  {
    std::lock_guard<std::mutex> lock(harness.client.m_csState);
    harness.client.m_strAuthToken = "3e4a22bb2f5ed75114b0fc9995ea85f1";
  }
  FacebookCallResult result;
  std::vector<std::string> accepted;
  if (harness.client.GetSession(result)) {
    std::lock_guard<std::mutex> lock(harness.client.m_csState);
    AddSecret(&accepted, harness.client.m_session.strSessionKey);
    AddSecret(&accepted, harness.client.m_session.strSessionSecret);
  }
  const std::vector<std::string> held = DocumentSecrets(harness.parser, answer);

  bool sawResponseLine = false;
  for (const LoggedLine& line : harness.log.Lines()) {
    for (const std::string& secret : accepted) {
      Require(line.strMessage.find(secret) == std::string::npos,
              "the session the client took appears in no log line");
    }
    if (line.strMessage.compare(0, kResponseLine.size(), kResponseLine) != 0) {
      continue;
    }
    sawResponseLine = true;
    Require(line.strMessage.size() <= kResponseLine.size() + kLoggedResponseBytes,
            "the logged answer keeps to its length");
    for (const std::string& secret : held) {
      Require(line.strMessage.find(secret) == std::string::npos,
              "no secret element's text appears in the logged answer");
    }
  }
  Require(sawResponseLine, "every answer read is logged");

  // The same function at a limit the answer may cross, where a cut could fall in a secret.
  const std::string shortLine = FormatResponseForLog(answer, size / 2 + 1, &harness.parser);
  Require(shortLine.size() <= size / 2 + 1, "the logged answer keeps to its length");
  for (const std::string& secret : held) {
    Require(shortLine.find(secret) == std::string::npos,
            "no secret element's text appears in a cut answer");
  }
  return 0;
}
