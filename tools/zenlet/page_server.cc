#include "tools/zenlet/page_server.h"

#include <openssl/evp.h>
#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "tools/http_front/http_text.h"

namespace {

constexpr const char* kTokenHeader = "X-Zenlet-Token";
// What one Take hands the front at most; the rest waits for the next.
constexpr std::size_t kTakeBytes = 256 * 1024;

// Compares without stopping at the first difference, so timing tells nothing of the token.
bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) {
    return false;
  }
  unsigned char difference = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  }
  return difference == 0;
}

std::string Sha256Base64(std::string_view text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("SHA-256 is not available");
  }
  std::string encoded(4 * ((length + 2) / 3) + 1, '\0');
  encoded.resize(static_cast<std::size_t>(EVP_EncodeBlock(
      reinterpret_cast<unsigned char*>(encoded.data()), digest, static_cast<int>(length))));
  return encoded;
}

// " 'sha256-...'" for the text of every <`tag`> element of `page`; " 'none'" when it has none.
std::string InlineSources(std::string_view page, const std::string& tag) {
  const std::string open = "<" + tag;
  const std::string close = "</" + tag + ">";
  std::string sources;
  std::size_t at = 0;
  while ((at = page.find(open, at)) != std::string_view::npos) {
    const std::size_t start = page.find('>', at);
    const std::size_t end = start == std::string_view::npos ? start : page.find(close, start);
    if (end == std::string_view::npos) {
      break;
    }
    sources += " 'sha256-" + Sha256Base64(page.substr(start + 1, end - start - 1)) + "'";
    at = end + close.size();
  }
  return sources.empty() ? " 'none'" : sources;
}

void Refuse(HttpResponse& response, int status, std::string text) {
  response.nStatus = status;
  response.strBody = std::move(text);
  response.bClose = true;
}

}  // namespace

std::string MakeRandomToken() {
  unsigned char bytes[16];
  std::size_t filled = 0;
  while (filled < sizeof bytes) {
    const ssize_t got = getrandom(bytes + filled, sizeof bytes - filled, 0);
    if (got < 0 && errno != EINTR) {
      throw std::runtime_error(std::string("no random source: ") + std::strerror(errno));
    }
    filled += got > 0 ? static_cast<std::size_t>(got) : 0;
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string token;
  for (const unsigned char byte : bytes) {
    token.push_back(kDigits[byte >> 4]);
    token.push_back(kDigits[byte & 0xF]);
  }
  return token;
}

std::string PagePolicy(std::string_view page) {
  // The page talks to its own server only; its favicon is an empty data: address.
  return "default-src 'none'; script-src" + InlineSources(page, "script") + "; style-src" +
         InlineSources(page, "style") +
         "; connect-src 'self'; img-src data:; base-uri 'none'; form-action 'none'; "
         "frame-ancestors 'none'";
}

// One page's event stream: the hub's events as server-sent events, taken by the front as the
// client reads them.
class CPageServer::CEventStream : public IHttpStreamBody,
                                  public std::enable_shared_from_this<CEventStream> {
 public:
  CEventStream(CPageServer& owner, CEventHub& hub) : m_owner(owner), m_hub(hub) {}

  void Subscribe() {
    m_spEvents = m_hub.Subscribe([weak = weak_from_this()] {
      if (std::shared_ptr<CEventStream> stream = weak.lock()) {
        stream->Wake();
      }
    });
  }

  // A newer page took this stream's place: it ends with an event that says so.
  void Supersede() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_bSuperseded = true;
    }
    m_hub.Unsubscribe(m_spEvents);
    Wake();
  }

  void Begin(std::function<void()> wake) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wake = std::move(wake);
  }

  bool Take(std::string& out) override {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_bSuperseded) {
        out += "event: closed\ndata: Another page of zenlet opened, and " +
               std::to_string(kMostStreams) +
               " at most follow it at once: this one no longer does. Reload it to follow it "
               "again.\n\n";
        return false;
      }
    }
    while (out.size() < kTakeBytes) {
      std::optional<std::string> event = m_spEvents->Next(std::chrono::milliseconds(0));
      if (!event) {
        break;
      }
      out += "data: " + *event + "\n\n";
    }
    return !m_spEvents->Ended();
  }

  void End() override {
    m_hub.Unsubscribe(m_spEvents);
    m_owner.StreamEnded(this);
  }

 private:
  void Wake() {
    std::function<void()> wake;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      wake = m_wake;
    }
    if (wake) {
      wake();
    }
  }

  CPageServer& m_owner;
  CEventHub& m_hub;
  std::shared_ptr<CEventHub::CSubscription> m_spEvents;
  std::mutex m_mutex;  // what follows
  std::function<void()> m_wake;
  bool m_bSuperseded = false;
};

CPageServer::CPageServer(CEventHub& hub, std::function<void(std::string_view)> submit)
    : m_hub(hub),
      m_submit(std::move(submit)),
      m_strToken(MakeRandomToken()),
      m_strPolicy(PagePolicy(PageText())) {
  HttpServerOptions options;
  // A browser opens a few connections at most; the rest is room for clients to be cut off.
  options.nMaxConnections = 128;
  options.nMaxWorkers = 4;
  m_pServer = std::make_unique<CHttpServer>(
      [this](const HttpRequest& request, HttpResponse& response) { Handle(request, response); },
      options);
}

CPageServer::~CPageServer() {
  Stop();
}

bool CPageServer::Bind(int port, std::string* error) {
  try {
    m_nPort = m_pServer->Start(port);
    return true;
  } catch (const std::exception&) {
    *error = "cannot serve the page on 127.0.0.1:" + std::to_string(port) +
             (port == 0 ? ": no free port" : ": the port is in use or not allowed");
    return false;
  }
}

void CPageServer::Stop() {
  {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_streamEnded.wait_for(lock, std::chrono::seconds(1), [this] { return m_aStreams.empty(); });
  }
  m_pServer->Stop();
}

std::string CPageServer::PageAddress() const {
  return "http://127.0.0.1:" + std::to_string(m_nPort) + "/?token=" + m_strToken;
}

bool CPageServer::IsOwnHost(std::string_view host) const {
  const std::string port = ":" + std::to_string(m_nPort);
  return EqualsNoCase(host, "127.0.0.1" + port) || EqualsNoCase(host, "localhost" + port);
}

bool CPageServer::HasToken(const HttpRequest& request) const {
  const std::optional<std::string> given = QueryValue(request.strQuery, "token");
  return SameText(given ? *given : request.Header(kTokenHeader), m_strToken);
}

void CPageServer::Handle(const HttpRequest& request, HttpResponse& response) {
  response.aHeaders = {{"Cache-Control", "no-store"},
                       {"Referrer-Policy", "no-referrer"},
                       {"X-Content-Type-Options", "nosniff"},
                       {"Content-Security-Policy", m_strPolicy}};
  if (!IsOwnHost(request.Header("Host"))) {
    const std::string port = std::to_string(m_nPort);
    Refuse(response, 403,
           "This server answers only to 127.0.0.1:" + port + " and localhost:" + port + ".\n");
    return;
  }
  if (!HasToken(request)) {
    Refuse(response, 403, "This page needs the address zenlet printed, with its token.\n");
    return;
  }
  struct Route {
    const char* szPath;
    const char* szMethod;
  };
  static constexpr Route kRoutes[] = {{"/", "GET"}, {"/events", "GET"}, {"/command", "POST"}};
  const auto route = std::find_if(std::begin(kRoutes), std::end(kRoutes), [&](const Route& known) {
    return request.strPath == known.szPath;
  });
  if (route == std::end(kRoutes)) {
    Refuse(response, 404, "Nothing is served at " + request.strPath + ".\n");
    return;
  }
  const bool bHead = request.strMethod == "HEAD" && std::string_view(route->szMethod) == "GET";
  if (request.strMethod != route->szMethod && !bHead) {
    Refuse(response, 405, request.strPath + " takes " + route->szMethod + " only.\n");
    response.aHeaders.emplace_back("Allow", route->szMethod);
    return;
  }
  if (request.strPath == "/") {
    response.strContentType = "text/html; charset=utf-8";
    response.strBody = std::string(PageText());
  } else if (request.strPath == "/events") {
    OpenStream(response);
  } else {
    m_submit(request.strBody);
    response.nStatus = 202;
  }
}

void CPageServer::OpenStream(HttpResponse& response) {
  auto stream = std::make_shared<CEventStream>(*this, m_hub);
  stream->Subscribe();
  std::shared_ptr<CEventStream> oldest;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_aStreams.size() >= kMostStreams) {
      oldest = std::move(m_aStreams.front());
      m_aStreams.pop_front();
    }
    m_aStreams.push_back(stream);
  }
  if (oldest) {
    oldest->Supersede();
  }
  response.strContentType = "text/event-stream";
  response.pStream = std::move(stream);
}

void CPageServer::StreamEnded(const CEventStream* stream) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_aStreams.erase(std::remove_if(m_aStreams.begin(), m_aStreams.end(),
                                    [stream](const auto& open) { return open.get() == stream; }),
                     m_aStreams.end());
  }
  m_streamEnded.notify_all();
}
