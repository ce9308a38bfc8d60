// The transport contract held against the scripted fake, so that the fake the REST client's
// tests rely on cannot drift from the real transport.
#include "tests/platform/http_transport_contract.h"
#include "tests/support/scripted_http_transport.h"

namespace {

constexpr int kListeningPort = 8080;
constexpr int kClosedPort = 9;
constexpr int kTrustedPort = 8443;
constexpr int kUntrustedPort = 8444;
constexpr int kOtherNamePort = 8445;

class CScriptedContractPeer : public IHttpContractPeer {
 public:
  CScriptedContractPeer() {
    m_transport.RefusePort(kClosedPort);
    m_transport.SetPortKind(kListeningPort, ScriptedPortKind::kPlainOnly);
    m_transport.SetPortKind(kTrustedPort, ScriptedPortKind::kTlsTrusted);
    m_transport.SetPortKind(kUntrustedPort, ScriptedPortKind::kTlsUntrusted);
    m_transport.SetPortKind(kOtherNamePort, ScriptedPortKind::kTlsOtherName);
  }

  IHttpTransport& Transport() override { return m_transport; }
  std::string Host() const override { return "127.0.0.1"; }
  int Port() const override { return kListeningPort; }
  int ClosedPort() const override { return kClosedPort; }
  int TlsPort(ETlsCertificate certificate) override {
    switch (certificate) {
      case ETlsCertificate::kTrusted:
        return kTrustedPort;
      case ETlsCertificate::kUntrusted:
        return kUntrustedPort;
      case ETlsCertificate::kOtherName:
        return kOtherNamePort;
    }
    return 0;
  }
  bool KeepsRealTime() const override { return false; }

  void Script(const HttpScriptedAnswer& answer) override {
    ScriptedHttpAnswer scripted = ScriptedHttpAnswer::Chunks(answer.aChunks, answer.nStatus);
    scripted.bEchoBody = answer.bEchoBody;
    switch (answer.eEnd) {
      case HttpScriptedAnswer::EEnd::kComplete:
        break;
      case HttpScriptedAnswer::EEnd::kStall:
        scripted.eFailAt = HttpStep::kQueryDataAvailable;
        scripted.nFailAfterChunks = answer.aChunks.size();
        break;
      case HttpScriptedAnswer::EEnd::kSilent:
        scripted.eFailAt = HttpStep::kSend;
        break;
      case HttpScriptedAnswer::EEnd::kEndless:
        scripted.bEndless = true;
        break;
    }
    m_transport.SetStandingAnswer(scripted);
  }

  // What a server would have seen: the fake records the caller's headers, and the transport
  // itself adds the user agent and the accepted media types on the wire.
  std::vector<HttpRecordedRequest> Requests() const override {
    std::vector<HttpRecordedRequest> requests;
    for (const RecordedHttpExchange& exchange : m_transport.Exchanges()) {
      if (!exchange.bSent || exchange.nPort == kClosedPort) {
        continue;
      }
      HttpRecordedRequest request;
      request.strMethod = exchange.strVerb;
      request.strTarget = exchange.strPath;
      request.aHeaders = {{"User-Agent", exchange.strUserAgent}, {"Accept", "*/*"}};
      for (const std::string& line : exchange.aHeaders) {
        std::string name;
        std::string value;
        if (ParseAddableHeader(line, &name, &value)) {
          request.aHeaders.emplace_back(name, value);
        }
      }
      request.strBody = exchange.strBody;
      requests.push_back(request);
    }
    return requests;
  }

 private:
  mutable CScriptedHttpTransport m_transport;
};

INSTANTIATE_TEST_SUITE_P(Scripted, HttpTransportContractTest,
                         ::testing::Values(HttpContractTarget{
                             "Scripted", [] { return std::make_unique<CScriptedContractPeer>(); }}),
                         HttpContractTargetName);

}  // namespace
