#include "tools/zenlet/page_server.h"

#include <httplib.h>
#include <netinet/in.h>
#include <sys/random.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

constexpr const char* kTokenHeader = "X-Zenlet-Token";
// A comment line keeps an idle stream open through proxies and shows a closed one.
constexpr auto kKeepAliveEvery = std::chrono::seconds(15);

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

// Only SO_REUSEADDR: the library's default also sets SO_REUSEPORT, with which a second
// server of the same user could share the port unnoticed.
void ExclusiveSocketOptions(int socket) {
  int yes = 1;
  setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
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

CPageServer::CPageServer(CEventHub& hub, std::function<void(std::string_view)> submit)
    : m_hub(hub),
      m_submit(std::move(submit)),
      m_pServer(std::make_unique<httplib::Server>()),
      m_strToken(MakeRandomToken()) {
  httplib::Server& server = *m_pServer;
  server.set_socket_options(ExclusiveSocketOptions);
  server.set_payload_max_length(kLongestCommand);
  // Stop waits for every connection's worker: a browser's kept-alive connection, or a silent
  // one, would hold the quit for the default five seconds. On loopback a new connection per
  // request costs nothing, and a second is ample for a request to arrive.
  server.set_keep_alive_max_count(1);
  server.set_keep_alive_timeout(1);
  server.set_read_timeout(1, 0);
  server.set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        if (HasToken(request)) {
          return httplib::Server::HandlerResponse::Unhandled;
        }
        response.status = 403;
        response.set_content("This page needs the address zenlet printed, with its token.\n",
                             "text/plain");
        return httplib::Server::HandlerResponse::Handled;
      });
  server.Get("/", [](const httplib::Request&, httplib::Response& response) {
    const std::string_view page = PageText();
    response.set_header("Cache-Control", "no-store");
    response.set_header("Referrer-Policy", "no-referrer");
    response.set_content(page.data(), page.size(), "text/html; charset=utf-8");
  });
  server.Get("/events", [this](const httplib::Request&, httplib::Response& response) {
    ServeEvents(response);
  });
  server.Post("/command", [this](const httplib::Request& request, httplib::Response& response) {
    m_submit(request.body);
    response.status = 202;
  });
}

CPageServer::~CPageServer() {
  Stop();
}

bool CPageServer::HasToken(const httplib::Request& request) const {
  const std::string given = request.has_param("token") ? request.get_param_value("token")
                                                       : request.get_header_value(kTokenHeader);
  return SameText(given, m_strToken);
}

void CPageServer::ServeEvents(httplib::Response& response) {
  std::shared_ptr<CEventHub::CSubscription> subscription = m_hub.Subscribe();
  response.set_header("Cache-Control", "no-store");
  response.set_chunked_content_provider(
      "text/event-stream",
      [subscription, quiet = std::chrono::steady_clock::now()](std::size_t,
                                                               httplib::DataSink& sink) mutable {
        std::optional<std::string> event = subscription->Next(std::chrono::milliseconds(500));
        if (event) {
          const std::string frame = "data: " + *event + "\n\n";
          quiet = std::chrono::steady_clock::now();
          return sink.write(frame.data(), frame.size());
        }
        if (subscription->Ended()) {
          sink.done();
          return true;
        }
        if (std::chrono::steady_clock::now() - quiet >= kKeepAliveEvery) {
          quiet = std::chrono::steady_clock::now();
          static constexpr char kComment[] = ": still here\n\n";
          return sink.write(kComment, sizeof kComment - 1);
        }
        return true;
      },
      [this, subscription](bool) { m_hub.Unsubscribe(subscription); });
}

bool CPageServer::Bind(int port, std::string* error) {
  const bool bBound = port == 0 ? (m_nPort = m_pServer->bind_to_any_port("127.0.0.1")) > 0
                                : m_pServer->bind_to_port("127.0.0.1", port);
  if (!bBound) {
    *error = "cannot serve the page on 127.0.0.1:" + std::to_string(port) +
             (port == 0 ? ": no free port" : ": the port is in use or not allowed");
    return false;
  }
  if (port != 0) {
    m_nPort = port;
  }
  return true;
}

void CPageServer::Start() {
  m_thread = std::thread([this] {
    m_pServer->listen_after_bind();
    m_bListenEnded = true;
  });
  // Stop before the server runs would not reach it; wait until it does.
  while (!m_pServer->is_running() && !m_bListenEnded) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void CPageServer::Stop() {
  if (m_thread.joinable()) {
    m_pServer->stop();
    m_thread.join();
  }
}

std::string CPageServer::PageAddress() const {
  return "http://127.0.0.1:" + std::to_string(m_nPort) + "/?token=" + m_strToken;
}
