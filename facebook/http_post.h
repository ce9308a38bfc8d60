// The HTTP POST of one signed request body to the REST server.
#pragma once

#include <cstddef>
#include <string>

class CFacebookClient;
struct FacebookCallResult;

// Answers that grow past this many bytes are abandoned and reported malformed.
inline constexpr std::size_t kMaxResponseBytes = std::size_t{8} * 1024 * 1024;
// The "hr: response: %s" line shows at most this many bytes of the answer.
inline constexpr std::size_t kLoggedResponseBytes = 4000;

// Posts `body` to the client's API host, port and path, over TLS when the client's address
// says https, and reads the answer. Writes nStatus (1 once a status was read, -4 otherwise),
// nHttpStatus (-1 while none was read) and strResponse (the whole body, or empty when reading
// it failed). Every failing step is logged under its tag through the client's logger, a
// failed send also with its reason (a refused certificate, say); nothing throws but
// std::bad_alloc.
// Holds no lock: the caller's thread blocks until the answer is read or a time-out ends it.
void PostRequest(const CFacebookClient& client, const std::string& body,
                 FacebookCallResult& result);
