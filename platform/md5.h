// MD5 (RFC 1321), as the REST service's request signature uses it. The implementation comes
// from the platform's crypto library.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

using Md5Digest = std::array<std::uint8_t, 16>;

Md5Digest ComputeMd5(std::string_view bytes);
