// The HTTP transport contract on WinInet. The far end is zenlet-http-peer, a program of the
// Linux build that the test driver starts on loopback; the suite scripts it and reads what it
// received through its control interface, over plain Winsock so that the transport under
// test carries only the requests under test. The certificates the peer's TLS ports show are
// added to the machine's trusted roots (the Wine prefix's) for the test's life, the one
// meant to be untrusted excepted.
#include <winsock2.h>
// After winsock2.h, which must come before windows.h.
#include <windows.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "platform/win32/wininet_http_transport.h"
#include "tests/platform/http_contract_wire.h"
#include "tests/platform/http_transport_contract.h"
#include "tests/support/trusted_roots.h"

namespace {

// One HTTP/1.0 exchange with the peer's control interface; the answer's body.
std::string Control(int port, const std::string& method, const std::string& path,
                    const std::string& body = std::string()) {
  static const int s_started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
  }();
  if (s_started != 0) {
    throw std::runtime_error("no Winsock");
  }
  const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (socket == INVALID_SOCKET ||
      connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    if (socket != INVALID_SOCKET) {
      closesocket(socket);
    }
    throw std::runtime_error("the contract peer does not answer");
  }
  const std::string request = method + " " + path +
                              " HTTP/1.0\r\nContent-Length: " + std::to_string(body.size()) +
                              "\r\n\r\n" + body;
  for (std::size_t sent = 0; sent < request.size();) {
    const int count =
        send(socket, request.data() + sent, static_cast<int>(request.size() - sent), 0);
    if (count <= 0) {
      break;
    }
    sent += static_cast<std::size_t>(count);
  }
  std::string answer;
  char buffer[65536];
  for (int count = 0; (count = recv(socket, buffer, sizeof(buffer), 0)) > 0;) {
    answer.append(buffer, static_cast<std::size_t>(count));
  }
  closesocket(socket);
  const std::size_t end = answer.find("\r\n\r\n");
  if (answer.compare(0, 12, "HTTP/1.1 200") != 0 || end == std::string::npos) {
    throw std::runtime_error("the contract peer refused " + path);
  }
  return answer.substr(end + 4);
}

int ControlPort() {
  const char* address = std::getenv("ZENLET_HTTP_PEER_ADDRESS");
  const std::string text = address != nullptr ? address : "";
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) {
    throw std::runtime_error("no contract peer address in ZENLET_HTTP_PEER_ADDRESS");
  }
  return std::atoi(text.c_str() + colon + 1);
}

class CWinInetContractPeer : public IHttpContractPeer {
 public:
  CWinInetContractPeer() : m_nControlPort(ControlPort()) {
    // The peer shows the same certificates for as long as it runs: trusted once.
    static const CScopedTrustedRoots s_trusted(Control(m_nControlPort, "GET", "/trust"));
    std::istringstream ports(Control(m_nControlPort, "POST", "/new"));
    ports >> m_nPort >> m_nClosedPort >> m_aTlsPorts[0] >> m_aTlsPorts[1] >> m_aTlsPorts[2];
  }
  IHttpTransport& Transport() override { return m_transport; }
  std::string Host() const override { return "127.0.0.1"; }
  int Port() const override { return m_nPort; }
  int TlsPort(ETlsCertificate certificate) override {
    switch (certificate) {
      case ETlsCertificate::kTrusted:
        return m_aTlsPorts[0];
      case ETlsCertificate::kUntrusted:
        return m_aTlsPorts[1];
      case ETlsCertificate::kOtherName:
        return m_aTlsPorts[2];
    }
    return 0;
  }
  int ClosedPort() const override { return m_nClosedPort; }
  void Script(const HttpScriptedAnswer& answer) override {
    Control(m_nControlPort, "POST", "/script", EncodeAnswer(answer));
  }
  std::vector<HttpRecordedRequest> Requests() const override {
    return DecodeRequests(Control(m_nControlPort, "GET", "/requests"));
  }

 private:
  int m_nControlPort;
  int m_nPort = 0;
  int m_nClosedPort = 0;
  int m_aTlsPorts[3] = {};  // trusted, untrusted, for another name
  CWinInetHttpTransport m_transport;
};

INSTANTIATE_TEST_SUITE_P(WinInet, HttpTransportContractTest,
                         ::testing::Values(HttpContractTarget{
                             "WinInet", [] { return std::make_unique<CWinInetContractPeer>(); }}),
                         HttpContractTargetName);

}  // namespace
