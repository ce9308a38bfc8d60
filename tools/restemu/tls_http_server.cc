#include "tools/restemu/tls_http_server.h"

#include <httplib.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>

#include "tools/restemu/self_signed_certificate.h"

namespace {

constexpr time_t kReadTimeoutSeconds = 10;
constexpr time_t kWriteTimeoutSeconds = 10;
constexpr time_t kKeepAliveSeconds = 5;
constexpr std::size_t kDrainBytes = 4 * 1024 * 1024;

HttpRequest ToRequest(const httplib::Request& from, std::string body) {
  HttpRequest request;
  request.strMethod = from.method;
  request.strTarget = from.target;
  request.strPath = from.path;
  const std::size_t question = from.target.find('?');
  if (question != std::string::npos) {
    request.strQuery = from.target.substr(question + 1);
  }
  request.aHeaders.assign(from.headers.begin(), from.headers.end());
  request.strBody = std::move(body);
  return request;
}

// The boundary of a multipart body's Content-Type, as the client wrote it.
std::string BoundaryOf(const httplib::Request& request) {
  const std::string type = request.get_header_value("Content-Type");
  const std::size_t at = type.find("boundary=");
  std::string boundary = at == std::string::npos ? std::string() : type.substr(at + 9);
  boundary = boundary.substr(0, boundary.find(';'));
  if (boundary.size() >= 2 && boundary.front() == '"' && boundary.back() == '"') {
    boundary = boundary.substr(1, boundary.size() - 2);
  }
  return boundary;
}

// Reads the body through `reader` and never holds more than `limit` bytes of it. cpp-httplib
// takes a multipart body apart as it reads it; its parts are written back in the form they
// came in (names, file names and types kept), for the handler's own multipart reader.
// False when the body breaks off or is too large (`*tooLarge`).
bool ReadBody(const httplib::Request& request, const httplib::ContentReader& reader,
              std::size_t limit, std::string* body, bool* tooLarge) {
  std::size_t dropped = 0;
  const auto append = [&](const char* data, std::size_t size) {
    if (*tooLarge || body->size() + size > limit) {
      // Refused; what the client still sends is read and dropped for a while, so that it
      // gets to read the refusal instead of a connection reset under its feet.
      *tooLarge = true;
      body->clear();
      dropped += size;
      return dropped <= kDrainBytes;
    }
    body->append(data, size);
    return true;
  };
  if (!request.is_multipart_form_data()) {
    return reader(append) && !*tooLarge;
  }
  const std::string boundary = BoundaryOf(request);
  bool first = true;
  const bool read = reader(
      [&](const httplib::MultipartFormData& part) {
        std::string head = std::string(first ? "" : "\r\n") + "--" + boundary +
                           "\r\nContent-Disposition: form-data; name=\"" + part.name + "\"";
        if (!part.filename.empty()) {
          head += "; filename=\"" + part.filename + "\"";
        }
        if (!part.content_type.empty()) {
          head += "\r\nContent-Type: " + part.content_type;
        }
        first = false;
        return append(head.data(), head.size()) && append("\r\n\r\n", 4);
      },
      append);
  const std::string end = (first ? "--" : "\r\n--") + boundary + "--\r\n";
  return read && append(end.data(), end.size()) && !*tooLarge;
}

void WriteResponse(HttpResponse&& from, httplib::Response& to) {
  to.status = from.nStatus;
  if (!from.bCutHalfway) {
    to.set_content(std::move(from.strBody), from.strContentType.c_str());
    return;
  }
  // The whole length announced, half of the body written, then the connection is dropped.
  auto body = std::make_shared<std::string>(std::move(from.strBody));
  to.set_content_provider(body->size(), from.strContentType.c_str(),
                          [body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                            const std::size_t half = body->size() / 2;
                            if (offset < half) {
                              sink.write(body->data() + offset, half - offset);
                            }
                            return false;
                          });
}

}  // namespace

CTlsHttpServer::CTlsHttpServer(CHttpServer::Handler handler,
                               const CSelfSignedCertificate& certificate, HttpLimits limits)
    : m_handler(std::move(handler)),
      m_pServer(
          std::make_unique<httplib::SSLServer>(certificate.Certificate(), certificate.Key())) {
  if (!m_pServer->is_valid()) {
    throw std::runtime_error("TLS cannot be set up for the emulator");
  }
  const auto serve = [this](const httplib::Request& request, httplib::Response& response) {
    HttpResponse answer;
    m_handler(ToRequest(request, request.body), answer);
    WriteResponse(std::move(answer), response);
  };
  // Bodies are read here rather than by cpp-httplib, which would refuse a form body of more
  // than 8 KiB and hold a chunked body of any size.
  const std::size_t limit = limits.nMaxBodyBytes;
  const auto serveBody = [this, limit](const httplib::Request& request, httplib::Response& response,
                                       const httplib::ContentReader& reader) {
    std::string body;
    bool tooLarge = false;
    if (!ReadBody(request, reader, limit, &body, &tooLarge)) {
      // cpp-httplib has answered 413 already when the announced length was too large.
      tooLarge = tooLarge || response.status == 413;
      response.status = tooLarge ? 413 : 400;
      response.set_header("Connection", "close");
      response.set_content(tooLarge ? "the body is larger than the emulator takes\n"
                                    : "the body could not be read\n",
                           "text/plain; charset=utf-8");
      return;
    }
    HttpResponse answer;
    m_handler(ToRequest(request, std::move(body)), answer);
    WriteResponse(std::move(answer), response);
  };
  // Every method goes to the handler, which answers the ones it does not serve itself.
  m_pServer->Get(".*", serve)
      .Options(".*", serve)
      .Post(".*", serveBody)
      .Put(".*", serveBody)
      .Patch(".*", serveBody)
      .Delete(".*", serveBody);
  m_pServer->set_payload_max_length(limit);
  m_pServer->set_read_timeout(kReadTimeoutSeconds, 0);
  m_pServer->set_write_timeout(kWriteTimeoutSeconds, 0);
  m_pServer->set_keep_alive_timeout(kKeepAliveSeconds);
}

CTlsHttpServer::~CTlsHttpServer() {
  Stop();
}

int CTlsHttpServer::Start(int port) {
  if (m_thread.joinable()) {
    throw std::logic_error("the TLS server was started already");
  }
  const int bound = port == 0 ? m_pServer->bind_to_any_port("127.0.0.1")
                              : (m_pServer->bind_to_port("127.0.0.1", port) ? port : -1);
  if (bound <= 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port));
  }
  auto serving = std::make_shared<std::atomic<bool>>(true);
  m_thread = std::thread([this, serving] {
    m_pServer->listen_after_bind();
    *serving = false;
  });
  // A stop() before the accept loop runs would be lost, and the loop would never end.
  while (!m_pServer->is_running() && *serving) {
    std::this_thread::yield();
  }
  if (!m_pServer->is_running()) {
    m_thread.join();
    throw std::runtime_error("cannot serve on 127.0.0.1:" + std::to_string(bound));
  }
  return bound;
}

void CTlsHttpServer::Stop() {
  if (m_thread.joinable()) {
    m_pServer->stop();
    m_thread.join();
  }
}
