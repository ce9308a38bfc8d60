// The HTTP transport on WinInet: one InternetOpen session, InternetConnect connection and
// HttpOpenRequest request per step of the seam, each closed when its object goes. Requests
// bypass WinInet's cache and cookie jar, never show a dialog and accept any media type. The
// time-outs are set on every handle: some WinInet versions ignore those of the session alone.
#pragma once

#include "platform/http_transport.h"

class CWinInetHttpTransport : public IHttpTransport {
 public:
  std::unique_ptr<IHttpSession> OpenSession(const std::string& userAgent) override;
};
