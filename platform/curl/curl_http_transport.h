// The HTTP transport on libcurl (Linux and other POSIX systems).
//
// Every request runs its own transfer: an easy handle on a multi handle of its own, driven by
// curl_multi_perform / curl_multi_poll on the thread that owns the request, so any number of
// threads may run requests at once and nothing is shared between them but libcurl's global
// state (initialised once per process, never torn down).
//
// What goes on the wire:
//  - "http://host:port/path" ("https://" over TLS) over HTTP/1.1 with the session's user
//    agent, "Accept: */*", "Cache-Control: no-cache", "Pragma: no-cache" and the headers
//    added with AddHeader (a header of the same name replaces one of these). No
//    "Content-Type" unless added, no "Expect: 100-continue".
//  - The body's bytes exactly, with an explicit length (binary-safe). "GET" without a body
//    and "HEAD" send no body; every other verb sends the body, even an empty one.
//  - A fresh connection per request, closed when the transfer ends. No cookie engine, no
//    cache, no redirect followed (a 3xx is an answer like any other), no user interface.
//  - The system's proxy variables (http_proxy, no_proxy) apply, except that loopback
//    addresses (localhost, 127.0.0.0/8, ::1) never go through a proxy.
//
// TLS: libcurl (on OpenSSL) checks the certificate chain, its dates and the host name, and a
// TLS request may only speak https. Trusted are the system's roots: its bundle file and its
// certificate folder (/etc/ssl/certs). A transport made with certificates of its own (the
// emulator's) trusts them in place of the bundle file, beside the folder's roots.
//
// Input that could change the request's meaning is refused: a host with characters outside a
// host name or address (Connect gives null), a verb that is not an HTTP token or a path that
// does not start with "/" or holds spaces or control bytes (OpenRequest gives null), a header
// line with a bad name, a CR, LF or NUL in it, or one that sets the body's framing
// ("Content-Length", "Transfer-Encoding") is dropped. A user agent with a CR, LF or NUL
// makes OpenSession give null.
//
// Time-outs: 60000 ms each until SetTimeouts is called; 0 also means that default. The connect
// time-out bounds name resolution and connection set-up. The receive time-out bounds each wait
// for bytes once connected: from the start of a wait (Send, QueryDataAvailable, Read) or the
// last byte sent or received in it. A slow but steady answer is never cut off.
//
// Memory: Send returns once the status line and headers of the final answer have arrived; the
// body is then pulled on demand. The request buffers at most kBodyBufferBound body bytes (one
// network read more while the buffer is empty) and pauses the transfer while the buffer is
// full, so an endless answer never piles up here; the caller decides how much it keeps.
//
// Errors: QueryStatusCode's system error code is the CURLcode of the failure
// (CURLE_OPERATION_TIMEDOUT for a receive time-out, CURLE_PEER_FAILED_VERIFICATION for a
// refused certificate, CURLE_BAD_FUNCTION_ARGUMENT when the request was never sent);
// DescribeFailure gives libcurl's own words for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/http_transport.h"

class CCurlHttpTransport : public IHttpTransport {
 public:
  // Body bytes a request holds before it pauses its transfer.
  static constexpr std::size_t kBodyBufferBound = 64 * 1024;
  // Connect and receive time-out of a session until SetTimeouts says otherwise.
  static constexpr std::uint32_t kDefaultTimeoutMs = 60000;

  // Initialises libcurl for the process on first use (thread-safe). `extraTrustedPem`:
  // certificates in PEM form that TLS connections trust beside the system's roots.
  explicit CCurlHttpTransport(std::string extraTrustedPem = std::string());

  std::unique_ptr<IHttpSession> OpenSession(const std::string& userAgent) override;

 private:
  const std::string m_strExtraTrustedPem;
};
