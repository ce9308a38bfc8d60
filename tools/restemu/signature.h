// The signature the REST server expects on a request: MD5 over every parameter but "sig",
// sorted by name as bytes and written as name=value with nothing between the pairs, followed
// by the secret; the digest in lower-case hexadecimal.
#pragma once

#include <string>
#include <string_view>

#include "tools/restemu/form_params.h"

std::string ExpectedSignature(const CRequestParams& params, std::string_view secret);
