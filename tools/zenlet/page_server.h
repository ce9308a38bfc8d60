// The page's transport: an HTTP server on 127.0.0.1, behind the HTTP front
// (tools/http_front), that serves the page, takes commands (POST /command, one JSON command
// as the body) and pushes the events as server-sent events (GET /events).
//
// Who may ask: a request must name the server by its own address in its Host header
// (127.0.0.1 or localhost, with the port), so that a site whose name is made to point at
// 127.0.0.1 cannot reach it through the browser; and it must carry the random token of the
// address printed, as the query parameter "token" or the header X-Zenlet-Token, so that
// neither another web page nor another local user can drive the add-in or read what it
// shows. Any other request is refused with 403, the Host looked at before the token.
//
// Every answer carries a content security policy that lets the page run its own inline
// script and style and nothing else, and be framed by no one; browsers are asked not to
// guess types and not to send referrers.
//
// An open event stream holds a connection but no request worker: the front writes it as the
// events come. At most kMostStreams are open; one more closes the oldest, which is first sent
// an event named "closed" that says why, so that its page stops instead of reconnecting.
//
// Threading: requests are served by the front's threads; Bind and Stop from one thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "tools/http_front/http_server.h"
#include "tools/zenlet/event_hub.h"

class CPageServer {
 public:
  // Commands posted by the page go to `submit`, as the text of one command.
  CPageServer(CEventHub& hub, std::function<void(std::string_view)> submit);
  ~CPageServer();
  CPageServer(const CPageServer&) = delete;
  CPageServer& operator=(const CPageServer&) = delete;

  // Takes 127.0.0.1:`port` (0: a free port) and serves on it from then on. False with
  // `error` filled when it cannot be had, also when another server holds it.
  bool Bind(int port, std::string* error);
  // Call once the hub is closed: the open streams get up to a second to send what the close
  // left them (the bye), then every connection ends.
  void Stop();

  int Port() const { return m_nPort; }
  const std::string& Token() const { return m_strToken; }
  // The page's address with the token: http://127.0.0.1:PORT/?token=TOKEN
  std::string PageAddress() const;

  static constexpr std::size_t kMostStreams = 16;

 private:
  class CEventStream;

  void Handle(const HttpRequest& request, HttpResponse& response);
  bool IsOwnHost(std::string_view host) const;
  bool HasToken(const HttpRequest& request) const;
  void OpenStream(HttpResponse& response);
  void StreamEnded(const CEventStream* stream);

  CEventHub& m_hub;
  std::function<void(std::string_view)> m_submit;
  const std::string m_strToken;
  const std::string m_strPolicy;  // the Content-Security-Policy of every answer
  // Set once the front serves, so read by its threads too; until then nothing is its own host.
  std::atomic<int> m_nPort{0};

  std::mutex m_mutex;  // the open streams
  std::condition_variable m_streamEnded;
  std::deque<std::shared_ptr<CEventStream>> m_aStreams;  // oldest first

  // Last, so that it stops before what its handlers use goes.
  std::unique_ptr<CHttpServer> m_pServer;
};

// 32 random hexadecimal digits from the system's random source.
std::string MakeRandomToken();

// The page, one self-contained HTML file (tools/zenlet/page/zenlet.html), compiled in.
std::string_view PageText();

// The content security policy that lets `page` run the inline scripts and styles it holds,
// named by their SHA-256 hashes, and nothing else.
std::string PagePolicy(std::string_view page);
