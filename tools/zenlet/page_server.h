// The page's transport: an HTTP server on 127.0.0.1 that serves the page, takes commands
// (POST /command, one JSON command as the body) and pushes the events as server-sent events
// (GET /events). Every request must carry the random token of the address it printed, as the
// query parameter "token" or the header X-Zenlet-Token; any other request is refused with 403
// before it reaches a handler, so neither another web page nor another local user can drive
// the add-in or read what it shows.
//
// Threading: requests are served by the server's own threads; Start and Stop from one thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "tools/zenlet/event_hub.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

class CPageServer {
 public:
  // Commands posted by the page go to `submit`, as the text of one command.
  CPageServer(CEventHub& hub, std::function<void(std::string_view)> submit);
  ~CPageServer();
  CPageServer(const CPageServer&) = delete;
  CPageServer& operator=(const CPageServer&) = delete;

  // Takes 127.0.0.1:`port` (0: a free port). False with `error` filled when it cannot be had,
  // also when another server holds it.
  bool Bind(int port, std::string* error);
  // Serves on the bound port until Stop.
  void Start();
  void Stop();

  int Port() const { return m_nPort; }
  const std::string& Token() const { return m_strToken; }
  // The page's address with the token: http://127.0.0.1:PORT/?token=TOKEN
  std::string PageAddress() const;

  // The longest command body taken.
  static constexpr std::size_t kLongestCommand = 1 << 20;

 private:
  bool HasToken(const httplib::Request& request) const;
  void ServeEvents(httplib::Response& response);

  CEventHub& m_hub;
  std::function<void(std::string_view)> m_submit;
  std::unique_ptr<httplib::Server> m_pServer;
  std::thread m_thread;
  std::atomic<bool> m_bListenEnded{false};
  int m_nPort = 0;
  std::string m_strToken;
};

// 32 random hexadecimal digits from the system's random source.
std::string MakeRandomToken();

// The page, one self-contained HTML file (tools/zenlet/page/zenlet.html), compiled in.
std::string_view PageText();
