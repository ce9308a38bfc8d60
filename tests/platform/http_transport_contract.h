// The HTTP transport contract suite, written against the seam only. An implementation joins
// it through a peer: the transport under test plus the far end it talks to, which answers
// every request with a scripted answer and records what it received. A real transport's peer
// is a set of loopback servers (one plain, three over TLS); a scripted fake's peer drives the
// fake.
//
//   INSTANTIATE_TEST_SUITE_P(Mine, HttpTransportContractTest,
//                            ::testing::Values(HttpContractTarget{"Mine", &CreateMyPeer}),
//                            HttpContractTargetName);
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/http_transport.h"

using HttpHeaderList = std::vector<std::pair<std::string, std::string>>;

// What the far end does with every request from the moment it is scripted.
struct HttpScriptedAnswer {
  enum class EEnd {
    kComplete,  // the body ends after the chunks
    kStall,     // after the chunks the answer promises more bytes but sends nothing more
    kSilent,    // the request is taken but no answer comes, not even a status line
    kEndless,   // the chunks repeat for as long as the client reads
  };
  std::int32_t nStatus = 200;
  HttpHeaderList aHeaders;           // answer headers besides the body's framing
  std::vector<std::string> aChunks;  // the body, in pieces sent one after the other
  std::uint32_t dwGapMs = 0;         // silence before every piece but the first
  bool bEchoBody = false;            // the body is the request's body instead of the chunks
  EEnd eEnd = EEnd::kComplete;
};

struct HttpRecordedRequest {
  std::string strMethod;
  std::string strTarget;  // as on the request line: the path with its query
  HttpHeaderList aHeaders;
  std::string strBody;
  int nClientPort = 0;  // the client's TCP port, where the peer sees one

  // How many headers carry `name` (any case), and the value of the first of them.
  std::size_t Count(const std::string& name) const;
  std::string Header(const std::string& name) const;
};

class IHttpContractPeer {
 public:
  virtual ~IHttpContractPeer() = default;

  enum class ETlsCertificate {
    kTrusted,    // the transport trusts it, and it names Host()
    kUntrusted,  // it names Host(), but no root the transport trusts vouches for it
    kOtherName,  // the transport trusts it, but it names another host
  };

  virtual IHttpTransport& Transport() = 0;
  virtual std::string Host() const = 0;
  // Plain HTTP only.
  virtual int Port() const = 0;
  // A port on Host() that plays the same scripts over TLS with that certificate.
  virtual int TlsPort(ETlsCertificate certificate) = 0;
  // A port on Host() where nothing listens: connecting there is refused.
  virtual int ClosedPort() const = 0;
  virtual void Script(const HttpScriptedAnswer& answer) = 0;
  // Every request any of the peer's ports received so far, in order of arrival.
  virtual std::vector<HttpRecordedRequest> Requests() const = 0;
  // Whether silences and gaps of the scripts take real time (a network peer) or none (a
  // scripted fake, where a silence fails at once); the suite checks durations only then.
  virtual bool KeepsRealTime() const { return true; }
};

struct HttpContractTarget {
  std::string strName;
  std::function<std::unique_ptr<IHttpContractPeer>()> create;
};

std::string HttpContractTargetName(const ::testing::TestParamInfo<HttpContractTarget>& info);
void PrintTo(const HttpContractTarget& target, std::ostream* os);

// One request on a session and connection of its own.
struct HttpExchange {
  std::unique_ptr<IHttpSession> pSession;
  std::unique_ptr<IHttpConnection> pConnection;
  std::unique_ptr<IHttpRequest> pRequest;
};

class HttpTransportContractTest : public ::testing::TestWithParam<HttpContractTarget> {
 protected:
  static constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; Zenlet contract test)";
  static constexpr char kPath[] = "/restserver.php";

  void SetUp() override;

  // A POST request for kPath to the peer (or to `port` on its host, with `scheme`).
  HttpExchange Open(std::uint32_t receiveMs = 10000, int port = 0,
                    HttpScheme scheme = HttpScheme::kHttp);

  // Reads the body as the REST client does, into `*body`; false when a step fails. The
  // largest count QueryDataAvailable gave goes to `*largest` when it is not null.
  static bool ReadBody(IHttpRequest& request, std::string* body, std::uint32_t* largest = nullptr);

  std::unique_ptr<IHttpContractPeer> m_pPeer;
};
