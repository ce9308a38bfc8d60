#include "platform/win32/wininet_http_transport.h"

#include <windows.h>
// After windows.h, whose types it needs.
#include <wininet.h>

#include "platform/win32/win32_handles.h"

namespace {

// Reload from the server, no cache write, keep the connection, no cookies, no dialogs.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_COOKIES |
                                INTERNET_FLAG_NO_UI;
static_assert(kRequestFlags == 0x84480200u, "the request flags the service expects");
// TLS with WinInet's own checks of the certificate: no INTERNET_FLAG_IGNORE_CERT_* flag, ever.
constexpr DWORD kTlsRequestFlags = kRequestFlags | INTERNET_FLAG_SECURE;
constexpr DWORD kAddOrReplace = HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE;

struct Timeouts {
  DWORD dwConnectMs = 60000;
  DWORD dwReceiveMs = 60000;
};

// What a WinInet error code means, for the log.
std::string DescribeError(DWORD error) {
  const char* meaning = nullptr;
  switch (error) {
    case ERROR_INTERNET_INVALID_CA:
      meaning = "the server's certificate was refused: no trusted root vouches for it";
      break;
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
      meaning = "the server's certificate was refused: it names another host";
      break;
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
      meaning = "the server's certificate was refused: it has expired or is not valid yet";
      break;
    case ERROR_INTERNET_SEC_CERT_REVOKED:
      meaning = "the server's certificate was refused: it has been revoked";
      break;
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
      meaning = "the server's certificate was refused";
      break;
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
      meaning = "no TLS connection could be made";
      break;
    case ERROR_INTERNET_CANNOT_CONNECT:
      meaning = "the server could not be reached";
      break;
    case ERROR_INTERNET_TIMEOUT:
      meaning = "the server did not answer in time";
      break;
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
      meaning = "the server's name could not be resolved";
      break;
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
      meaning = "the connection was closed before an answer came";
      break;
    default:
      meaning = "the request failed";
      break;
  }
  return std::string(meaning) + " (WinInet error " + std::to_string(error) + ")";
}

void ApplyTimeouts(HINTERNET handle, const Timeouts& timeouts) {
  DWORD connect = timeouts.dwConnectMs;
  DWORD receive = timeouts.dwReceiveMs;
  // Results ignored: a handle that refuses an option keeps WinInet's own time-out.
  InternetSetOptionW(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof(connect));
  InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof(receive));
}

class CWinInetRequest : public IHttpRequest {
 public:
  explicit CWinInetRequest(CInternetHandle request) : m_hRequest(std::move(request)) {}

  void AddHeader(const std::string& line) override {
    std::string name;
    std::string value;
    if (!ParseAddableHeader(line, &name, &value)) {
      return;  // a line that could smuggle another header or reframe the body
    }
    const std::string header = name + ": " + value;
    HttpAddRequestHeadersA(m_hRequest.Get(), header.c_str(), static_cast<DWORD>(-1), kAddOrReplace);
  }

  bool Send(const std::string& body) override {
    if (m_eState != EState::kOpen) {
      m_dwError = ERROR_INTERNET_INCORRECT_HANDLE_STATE;
      return false;
    }
    // HttpSendRequestA does not write to the body, whatever its prototype says.
    void* data = const_cast<char*>(body.data());
    if (!HttpSendRequestA(m_hRequest.Get(), nullptr, 0, body.empty() ? nullptr : data,
                          static_cast<DWORD>(body.size()))) {
      m_dwError = ErrorOr(ERROR_INTERNET_CANNOT_CONNECT);
      m_eState = EState::kFailed;
      return false;
    }
    m_eState = EState::kSent;
    return true;
  }

  bool QueryStatusCode(std::int32_t* status, std::uint32_t* systemError) override {
    if (m_eState != EState::kSent) {
      *systemError =
          m_eState == EState::kFailed ? m_dwError : ERROR_INTERNET_INCORRECT_HANDLE_STATE;
      return false;
    }
    DWORD code = 0;
    DWORD size = sizeof(code);
    if (!HttpQueryInfoA(m_hRequest.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code,
                        &size, nullptr)) {
      *systemError = ErrorOr(ERROR_HTTP_HEADER_NOT_FOUND);
      return false;
    }
    *status = static_cast<std::int32_t>(code);
    return true;
  }

  bool QueryDataAvailable(std::uint32_t* available) override {
    DWORD count = 0;
    if (m_eState != EState::kSent || !InternetQueryDataAvailable(m_hRequest.Get(), &count, 0, 0)) {
      return false;
    }
    *available = count;
    return true;
  }

  bool Read(char* buffer, std::uint32_t size, std::uint32_t* read) override {
    DWORD count = 0;
    if (m_eState != EState::kSent || !InternetReadFile(m_hRequest.Get(), buffer, size, &count)) {
      return false;
    }
    *read = count;
    return true;
  }

  std::string DescribeFailure() const override {
    return m_eState == EState::kFailed ? DescribeError(m_dwError) : std::string();
  }

 private:
  enum class EState { kOpen, kSent, kFailed };

  // The thread's last error, or `fallback` when the call failed without setting one.
  static DWORD ErrorOr(DWORD fallback) {
    const DWORD error = GetLastError();
    return error != 0 ? error : fallback;
  }

  CInternetHandle m_hRequest;
  EState m_eState = EState::kOpen;
  DWORD m_dwError = 0;
};

class CWinInetConnection : public IHttpConnection {
 public:
  CWinInetConnection(CInternetHandle connection, const Timeouts& timeouts, bool bTls)
      : m_hConnection(std::move(connection)), m_timeouts(timeouts), m_bTls(bTls) {}

  std::unique_ptr<IHttpRequest> OpenRequest(const std::string& verb,
                                            const std::string& path) override {
    if (!IsAcceptableRequest(verb, path)) {
      return nullptr;
    }
    const char* acceptTypes[] = {"*/*", nullptr};
    CInternetHandle request(HttpOpenRequestA(m_hConnection.Get(), verb.c_str(), path.c_str(),
                                             nullptr, nullptr, acceptTypes,
                                             m_bTls ? kTlsRequestFlags : kRequestFlags, 0));
    if (!request) {
      return nullptr;
    }
    ApplyTimeouts(request.Get(), m_timeouts);
    return std::make_unique<CWinInetRequest>(std::move(request));
  }

 private:
  CInternetHandle m_hConnection;
  Timeouts m_timeouts;
  bool m_bTls;
};

class CWinInetSession : public IHttpSession {
 public:
  explicit CWinInetSession(CInternetHandle session) : m_hSession(std::move(session)) {}

  void SetTimeouts(std::uint32_t connectMs, std::uint32_t receiveMs) override {
    m_timeouts = Timeouts{connectMs, receiveMs};
    ApplyTimeouts(m_hSession.Get(), m_timeouts);
  }

  std::unique_ptr<IHttpConnection> Connect(const std::string& host, int port,
                                           HttpScheme scheme) override {
    if (!IsAcceptableHost(host, port)) {
      return nullptr;
    }
    CInternetHandle connection(InternetConnectA(m_hSession.Get(), host.c_str(),
                                                static_cast<INTERNET_PORT>(port), nullptr, nullptr,
                                                INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) {
      return nullptr;
    }
    ApplyTimeouts(connection.Get(), m_timeouts);
    return std::make_unique<CWinInetConnection>(std::move(connection), m_timeouts,
                                                scheme == HttpScheme::kHttps);
  }

 private:
  CInternetHandle m_hSession;
  Timeouts m_timeouts;
};

}  // namespace

std::unique_ptr<IHttpSession> CWinInetHttpTransport::OpenSession(const std::string& userAgent) {
  if (!IsAcceptableUserAgent(userAgent)) {
    return nullptr;
  }
  CInternetHandle session(
      InternetOpenA(userAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) {
    return nullptr;
  }
  return std::make_unique<CWinInetSession>(std::move(session));
}
