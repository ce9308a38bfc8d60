// The HTTP transport on WinInet: one InternetOpen session, InternetConnect connection and
// HttpOpenRequest request per step of the seam, each closed when its object goes. Requests
// bypass WinInet's cache and cookie jar, never show a dialog and accept any media type. The
// time-outs are set on every handle: some WinInet versions ignore those of the session alone.
// A TLS request is opened with INTERNET_FLAG_SECURE and WinInet's default checks of the
// certificate (the system's trusted roots, the host name, the dates); a refused certificate
// fails HttpSendRequest with its ERROR_INTERNET_SEC_* / ERROR_INTERNET_INVALID_CA code.
#pragma once

#include "platform/http_transport.h"

class CWinInetHttpTransport : public IHttpTransport {
 public:
  std::unique_ptr<IHttpSession> OpenSession(const std::string& userAgent) override;
};
