#include "platform/curl/curl_http_transport.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Loopback names and addresses that never go through a proxy.
constexpr char kLoopbackNoProxy[] = "localhost,127.0.0.1,127.0.0.0/8,::1";
// Longest single wait before the transfer loop looks at its time-outs again.
constexpr int kMaxPollMs = 1000;

CURLcode GlobalInit() {
  static std::once_flag s_once;
  static CURLcode s_result = CURLE_FAILED_INIT;
  std::call_once(s_once, [] { s_result = curl_global_init(CURL_GLOBAL_DEFAULT); });
  return s_result;
}

// The host as it goes into the address: IPv6 addresses in brackets.
std::string AuthorityOf(const std::string& host) {
  if (host.find(':') == std::string::npos || host.front() == '[') {
    return host;
  }
  return "[" + host + "]";
}

// The loopback addresses plus whatever the system's no_proxy variable lists.
std::string NoProxyList() {
  const char* configured = std::getenv("no_proxy");
  if (configured == nullptr || *configured == '\0') {
    configured = std::getenv("NO_PROXY");
  }
  std::string extra = configured != nullptr ? configured : "";
  extra.erase(0, std::min(extra.size(), extra.find_first_not_of(" \t")));
  extra.erase(extra.find_last_not_of(" \t") + 1);
  if (extra == "*") {
    return extra;  // no proxy for any host
  }
  return extra.empty() ? std::string(kLoopbackNoProxy)
                       : std::string(kLoopbackNoProxy) + "," + extra;
}

struct CurlSettings {
  std::string strUserAgent;
  std::string strNoProxy;
  std::string strExtraTrustedPem;  // trusted beside the system's roots; empty: none
  std::uint32_t dwConnectMs = CCurlHttpTransport::kDefaultTimeoutMs;
  std::uint32_t dwReceiveMs = CCurlHttpTransport::kDefaultTimeoutMs;
};

struct CurlEasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct CurlMultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct CurlListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

class CCurlHttpRequest : public IHttpRequest {
 public:
  CCurlHttpRequest(const CurlSettings& settings, std::string url, std::string verb, bool bTls)
      : m_settings(settings), m_strUrl(std::move(url)), m_strVerb(std::move(verb)), m_bTls(bTls) {
    m_aHeaders = {{"Accept", "*/*"}, {"Cache-Control", "no-cache"}, {"Pragma", "no-cache"}};
  }

  ~CCurlHttpRequest() override {
    // Detaching first stops the transfer and closes its connection; the handles go after.
    if (m_bAttached) {
      curl_multi_remove_handle(m_pMulti.get(), m_pEasy.get());
    }
  }

  CCurlHttpRequest(const CCurlHttpRequest&) = delete;
  CCurlHttpRequest& operator=(const CCurlHttpRequest&) = delete;

  bool Open() {
    m_pMulti.reset(curl_multi_init());
    m_pEasy.reset(curl_easy_init());
    return m_pMulti != nullptr && m_pEasy != nullptr;
  }

  void AddHeader(const std::string& line) override {
    std::string name;
    std::string value;
    if (m_bStarted || !ParseAddableHeader(line, &name, &value)) {
      return;
    }
    for (auto& header : m_aHeaders) {
      if (SameHeaderName(header.first, name)) {
        header = {name, value};
        return;
      }
    }
    m_aHeaders.emplace_back(name, value);
  }

  bool Send(const std::string& body) override {
    if (m_bStarted) {
      return false;
    }
    m_bStarted = true;
    m_strBody = body;
    if (!BuildHeaderList() || !Configure() ||
        curl_multi_add_handle(m_pMulti.get(), m_pEasy.get()) != CURLM_OK) {
      Finish(CURLE_FAILED_INIT);
      return false;
    }
    m_bAttached = true;
    Touch();
    Drive([this] { return m_bHeadersDone; });
    if (m_bHeadersDone) {
      return true;
    }
    if (m_nResult == CURLE_OK) {
      m_nResult = CURLE_WEIRD_SERVER_REPLY;  // the transfer ended without a final answer
    }
    return false;
  }

  bool QueryStatusCode(std::int32_t* status, std::uint32_t* systemError) override {
    if (m_bHeadersDone && status != nullptr) {
      *status = static_cast<std::int32_t>(m_nStatus);
      return true;
    }
    if (systemError != nullptr) {
      const CURLcode code = m_bStarted ? m_nResult : CURLE_BAD_FUNCTION_ARGUMENT;
      *systemError =
          static_cast<std::uint32_t>(code == CURLE_OK ? CURLE_BAD_FUNCTION_ARGUMENT : code);
    }
    return false;
  }

  bool QueryDataAvailable(std::uint32_t* available) override {
    if (available == nullptr || !m_bHeadersDone) {
      return false;
    }
    if (Buffered() == 0 && !m_bFinished) {
      Touch();
      Resume();
      Drive([this] { return Buffered() > 0; });
    }
    if (Buffered() > 0) {
      *available = static_cast<std::uint32_t>(
          std::min<std::size_t>(Buffered(), std::numeric_limits<std::uint32_t>::max()));
      return true;
    }
    if (m_nResult != CURLE_OK) {
      return false;
    }
    *available = 0;
    return true;
  }

  std::string DescribeFailure() const override {
    if (!m_bFinished || m_nResult == CURLE_OK) {
      return std::string();
    }
    const std::string detail = m_szError[0] != '\0' ? m_szError : curl_easy_strerror(m_nResult);
    const char* what = "";
    switch (m_nResult) {
      case CURLE_PEER_FAILED_VERIFICATION:
        what = "the server's certificate was refused: ";
        break;
      case CURLE_SSL_CONNECT_ERROR:
      case CURLE_SSL_CACERT_BADFILE:
        what = "no TLS connection could be made: ";
        break;
      default:
        break;
    }
    return what + detail + " (curl error " + std::to_string(static_cast<int>(m_nResult)) + ")";
  }

  bool Read(char* buffer, std::uint32_t size, std::uint32_t* read) override {
    if (read == nullptr) {
      return false;
    }
    *read = 0;
    if (size == 0) {
      return m_bHeadersDone;
    }
    std::uint32_t available = 0;
    if (buffer == nullptr || !QueryDataAvailable(&available)) {
      return false;
    }
    const std::uint32_t count = std::min(size, available);
    std::memcpy(buffer, m_strBuffer.data() + m_nBufferHead, count);
    m_nBufferHead += count;
    if (m_nBufferHead == m_strBuffer.size()) {
      m_strBuffer.clear();
      m_nBufferHead = 0;
    }
    *read = count;
    return true;
  }

 private:
  std::size_t Buffered() const { return m_strBuffer.size() - m_nBufferHead; }
  void Touch() { m_tpLastActivity = Clock::now(); }

  bool AppendHeader(const std::string& text) {
    curl_slist* head = curl_slist_append(m_pHeaderList.get(), text.c_str());
    if (head == nullptr) {
      return false;
    }
    (void)m_pHeaderList.release();  // the same list, now one entry longer
    m_pHeaderList.reset(head);
    return true;
  }

  bool HasHeader(const char* name) const {
    return std::any_of(m_aHeaders.begin(), m_aHeaders.end(),
                       [name](const auto& header) { return SameHeaderName(header.first, name); });
  }

  bool BuildHeaderList() {
    for (const auto& header : m_aHeaders) {
      // "Name;" is how libcurl is told to send a header with an empty value.
      if (!AppendHeader(header.second.empty() ? header.first + ";"
                                              : header.first + ": " + header.second)) {
        return false;
      }
    }
    // "Name:" keeps libcurl from adding a header of its own.
    return (HasHeader("Content-Type") || AppendHeader("Content-Type:")) &&
           (HasHeader("Expect") || AppendHeader("Expect:"));
  }

  template <typename Value>
  void Set(CURLoption option, Value value, bool* ok) {
    if (*ok && curl_easy_setopt(m_pEasy.get(), option, value) != CURLE_OK) {
      *ok = false;
    }
  }

  bool Configure() {
    bool ok = true;
    Set(CURLOPT_ERRORBUFFER, m_szError, &ok);
    Set(CURLOPT_URL, m_strUrl.c_str(), &ok);
    // Only the scheme asked for: an https request can never go out in clear.
    Set(CURLOPT_PROTOCOLS_STR, m_bTls ? "https" : "http", &ok);
    if (m_bTls) {
      Set(CURLOPT_SSL_VERIFYPEER, 1L, &ok);
      Set(CURLOPT_SSL_VERIFYHOST, 2L, &ok);
      if (!m_settings.strExtraTrustedPem.empty()) {
        // In place of the system's bundle file; its certificate folder (CAPATH) still counts.
        curl_blob blob{const_cast<char*>(m_settings.strExtraTrustedPem.data()),
                       m_settings.strExtraTrustedPem.size(), CURL_BLOB_COPY};
        Set(CURLOPT_CAINFO_BLOB, &blob, &ok);
      }
    }
    Set(CURLOPT_NOSIGNAL, 1L, &ok);
    Set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1), &ok);
    Set(CURLOPT_FRESH_CONNECT, 1L, &ok);
    Set(CURLOPT_FORBID_REUSE, 1L, &ok);
    Set(CURLOPT_FOLLOWLOCATION, 0L, &ok);
    Set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_settings.dwConnectMs), &ok);
    Set(CURLOPT_NOPROXY, m_settings.strNoProxy.c_str(), &ok);
    if (!m_settings.strUserAgent.empty()) {
      Set(CURLOPT_USERAGENT, m_settings.strUserAgent.c_str(), &ok);
    }
    Set(CURLOPT_HTTPHEADER, m_pHeaderList.get(), &ok);
    Set(CURLOPT_HEADERFUNCTION, &OnHeader, &ok);
    Set(CURLOPT_HEADERDATA, this, &ok);
    Set(CURLOPT_WRITEFUNCTION, &OnBody, &ok);
    Set(CURLOPT_WRITEDATA, this, &ok);
    Set(CURLOPT_PREREQFUNCTION, &OnConnected, &ok);
    Set(CURLOPT_PREREQDATA, this, &ok);
    Set(CURLOPT_XFERINFOFUNCTION, &OnProgress, &ok);
    Set(CURLOPT_XFERINFODATA, this, &ok);
    Set(CURLOPT_NOPROGRESS, 0L, &ok);
    if (m_strVerb == "HEAD") {
      Set(CURLOPT_NOBODY, 1L, &ok);
    } else if (m_strVerb == "GET" && m_strBody.empty()) {
      Set(CURLOPT_HTTPGET, 1L, &ok);
    } else {
      Set(CURLOPT_POST, 1L, &ok);
      Set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(m_strBody.size()), &ok);
      Set(CURLOPT_POSTFIELDS, m_strBody.data(), &ok);
      if (m_strVerb != "POST") {
        Set(CURLOPT_CUSTOMREQUEST, m_strVerb.c_str(), &ok);
      }
    }
    return ok;
  }

  // Runs the transfer until `ready()` holds or the transfer ends; a connected transfer that
  // neither sends nor receives a byte for the receive time-out is ended with a time-out.
  template <typename Ready>
  void Drive(Ready ready) {
    const auto receive = std::chrono::milliseconds(m_settings.dwReceiveMs);
    while (!ready() && !m_bFinished) {
      int running = 0;
      if (curl_multi_perform(m_pMulti.get(), &running) != CURLM_OK) {
        Finish(CURLE_RECV_ERROR);
        return;
      }
      CollectCompletion();
      if (ready() || m_bFinished) {
        return;
      }
      int waitMs = kMaxPollMs;
      if (m_bConnected) {
        const auto idle = Clock::now() - m_tpLastActivity;
        if (idle >= receive) {
          Finish(CURLE_OPERATION_TIMEDOUT);
          return;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(receive - idle).count();
        waitMs = static_cast<int>(std::min<decltype(left)>(waitMs, left));
      }
      if (curl_multi_poll(m_pMulti.get(), nullptr, 0, waitMs, nullptr) != CURLM_OK) {
        Finish(CURLE_RECV_ERROR);
        return;
      }
    }
  }

  void CollectCompletion() {
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(m_pMulti.get(), &queued)) {
      if (message->msg == CURLMSG_DONE) {
        const CURLcode result = message->data.result;  // the message goes with the handle
        Finish(result);
      }
    }
  }

  // Ends the transfer with `result` (the first result sticks) and closes its connection.
  void Finish(CURLcode result) {
    if (m_bAttached) {
      curl_multi_remove_handle(m_pMulti.get(), m_pEasy.get());
      m_bAttached = false;
    }
    if (!m_bFinished) {
      m_bFinished = true;
      m_nResult = result;
    }
    m_bPaused = false;
  }

  void Resume() {
    if (!m_bPaused) {
      return;
    }
    m_bPaused = false;  // the held bytes may arrive, and pause again, inside the call
    if (curl_easy_pause(m_pEasy.get(), CURLPAUSE_CONT) != CURLE_OK) {
      Finish(CURLE_RECV_ERROR);
    }
  }

  static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* self = static_cast<CCurlHttpRequest*>(user);
    const std::size_t length = size * count;
    self->Touch();
    const bool blankLine =
        (length == 2 && data[0] == '\r' && data[1] == '\n') || (length == 1 && data[0] == '\n');
    if (blankLine && !self->m_bHeadersDone) {
      long code = 0;
      curl_easy_getinfo(self->m_pEasy.get(), CURLINFO_RESPONSE_CODE, &code);
      if (code >= 200) {  // an interim answer (100 Continue) is followed by the real one
        self->m_nStatus = code;
        self->m_bHeadersDone = true;
      }
    }
    return length;
  }

  static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* self = static_cast<CCurlHttpRequest*>(user);
    const std::size_t length = size * count;
    const std::size_t buffered = self->Buffered();
    if (buffered > 0 && buffered + length > CCurlHttpTransport::kBodyBufferBound) {
      self->m_bPaused = true;  // libcurl keeps these bytes and hands them over on resume
      return CURL_WRITEFUNC_PAUSE;
    }
    if (self->m_nBufferHead > 0) {
      self->m_strBuffer.erase(0, self->m_nBufferHead);
      self->m_nBufferHead = 0;
    }
    self->m_strBuffer.append(data, length);
    self->Touch();
    return length;
  }

  static int OnConnected(void* user, char*, char*, int, int) {
    auto* self = static_cast<CCurlHttpRequest*>(user);
    self->m_bConnected = true;
    self->Touch();
    return CURL_PREREQFUNC_OK;
  }

  static int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
    auto* self = static_cast<CCurlHttpRequest*>(user);
    if (uploaded != self->m_nUploaded) {
      self->m_nUploaded = uploaded;
      self->Touch();
    }
    return 0;
  }

  const CurlSettings m_settings;
  const std::string m_strUrl;
  const std::string m_strVerb;
  const bool m_bTls;
  char m_szError[CURL_ERROR_SIZE] = {};  // libcurl's words for the failure
  std::vector<std::pair<std::string, std::string>> m_aHeaders;
  std::string m_strBody;  // libcurl reads the body from here while sending
  // Declared in this order so that the header list and the easy handle go before the multi.
  std::unique_ptr<CURLM, CurlMultiDeleter> m_pMulti;
  std::unique_ptr<CURL, CurlEasyDeleter> m_pEasy;
  std::unique_ptr<curl_slist, CurlListDeleter> m_pHeaderList;
  bool m_bAttached = false;  // the easy handle is on the multi handle
  bool m_bStarted = false;   // Send was called
  bool m_bConnected = false;
  bool m_bHeadersDone = false;
  bool m_bFinished = false;
  bool m_bPaused = false;
  CURLcode m_nResult = CURLE_OK;
  long m_nStatus = 0;
  curl_off_t m_nUploaded = 0;
  std::string m_strBuffer;  // body bytes from m_nBufferHead on are not read yet
  std::size_t m_nBufferHead = 0;
  Clock::time_point m_tpLastActivity;
};

class CCurlHttpConnection : public IHttpConnection {
 public:
  CCurlHttpConnection(const CurlSettings& settings, std::string origin, bool bTls)
      : m_settings(settings), m_strOrigin(std::move(origin)), m_bTls(bTls) {}

  std::unique_ptr<IHttpRequest> OpenRequest(const std::string& verb,
                                            const std::string& path) override {
    if (!IsAcceptableRequest(verb, path)) {
      return nullptr;
    }
    auto request = std::make_unique<CCurlHttpRequest>(m_settings, m_strOrigin + path, verb, m_bTls);
    if (!request->Open()) {
      return nullptr;
    }
    return request;
  }

 private:
  const CurlSettings m_settings;
  const std::string m_strOrigin;  // "http://host:port" or "https://host:port"
  const bool m_bTls;
};

class CCurlHttpSession : public IHttpSession {
 public:
  explicit CCurlHttpSession(CurlSettings settings) : m_settings(std::move(settings)) {}

  void SetTimeouts(std::uint32_t connectMs, std::uint32_t receiveMs) override {
    m_settings.dwConnectMs = connectMs != 0 ? connectMs : CCurlHttpTransport::kDefaultTimeoutMs;
    m_settings.dwReceiveMs = receiveMs != 0 ? receiveMs : CCurlHttpTransport::kDefaultTimeoutMs;
  }

  std::unique_ptr<IHttpConnection> Connect(const std::string& host, int port,
                                           HttpScheme scheme) override {
    if (!IsAcceptableHost(host, port)) {
      return nullptr;
    }
    const bool bTls = scheme == HttpScheme::kHttps;
    return std::make_unique<CCurlHttpConnection>(
        m_settings,
        (bTls ? "https://" : "http://") + AuthorityOf(host) + ":" + std::to_string(port), bTls);
  }

 private:
  CurlSettings m_settings;
};

}  // namespace

CCurlHttpTransport::CCurlHttpTransport(std::string extraTrustedPem)
    : m_strExtraTrustedPem(std::move(extraTrustedPem)) {
  GlobalInit();
}

std::unique_ptr<IHttpSession> CCurlHttpTransport::OpenSession(const std::string& userAgent) {
  if (GlobalInit() != CURLE_OK || !IsAcceptableUserAgent(userAgent)) {
    return nullptr;
  }
  CurlSettings settings;
  settings.strUserAgent = userAgent;
  settings.strNoProxy = NoProxyList();
  settings.strExtraTrustedPem = m_strExtraTrustedPem;
  return std::make_unique<CCurlHttpSession>(std::move(settings));
}
