#include "facebook/request_params.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/clock.h"
#include "platform/md5.h"

namespace {

constexpr char kHexLower[] = "0123456789abcdef";
constexpr char kHexUpper[] = "0123456789ABCDEF";

// The bytes a URL carries as they are: A-Z, a-z, 0-9, "-", "_", "." and "~".
struct UnreservedTable {
  bool aUnreserved[256] = {};
  constexpr UnreservedTable() {
    for (int c = 0; c < 256; ++c) {
      aUnreserved[c] = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.' || c == '~';
    }
  }
};
constexpr UnreservedTable kUnreserved;

// Writes `text` percent-encoded at `next`, which has room for three bytes per input byte;
// returns the end of what it wrote.
char* WriteUrlEncoded(char* next, std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (kUnreserved.aUnreserved[byte]) {
      *next++ = c;
    } else {
      next[0] = '%';
      next[1] = kHexUpper[byte >> 4];
      next[2] = kHexUpper[byte & 0xF];
      next += 3;
    }
  }
  return next;
}

char* WriteRaw(char* next, std::string_view text) {
  std::memcpy(next, text.data(), text.size());
  return next + text.size();
}

// std::string compares through char_traits<char>, which orders bytes as unsigned char.
bool ParamLess(const FacebookParam& a, const FacebookParam& b) {
  const int byName = a.strName.compare(b.strName);
  return byName != 0 ? byName < 0 : a.strValue.compare(b.strValue) < 0;
}

// A stable sort. The lists of a call hold a handful of pairs, where inserting in place beats
// a merge sort's buffer; a stable sort's result is the same whichever way it is reached.
void StableSort(std::vector<FacebookParam>& params) {
  constexpr std::size_t kInsertionLimit = 32;
  if (params.size() > kInsertionLimit) {
    std::stable_sort(params.begin(), params.end(), ParamLess);
    return;
  }
  for (std::size_t i = 1; i < params.size(); ++i) {
    if (!ParamLess(params[i], params[i - 1])) {
      continue;
    }
    FacebookParam moving = std::move(params[i]);
    std::size_t j = i;
    for (; j > 0 && ParamLess(moving, params[j - 1]); --j) {
      params[j] = std::move(params[j - 1]);
    }
    params[j] = std::move(moving);
  }
}

// JoinParams with room for `spare` more bytes reserved at the end. Writes into room for the
// longest form the pairs can take, cut to what was written at the end.
std::string JoinWithSpare(const CFacebookParams& params, bool encode, std::size_t spare) {
  std::size_t size = 0;
  for (const FacebookParam& param : params.m_aParams) {
    size += param.strName.size() + 2 + (encode ? 3 : 1) * param.strValue.size();
  }
  std::string out;
  out.reserve(size + spare);
  out.resize(size);
  char* next = &out[0];
  bool first = true;
  for (const FacebookParam& param : params.m_aParams) {
    if (encode && !first) {
      *next++ = '&';
    }
    first = false;
    next = WriteRaw(next, param.strName);
    *next++ = '=';
    next = encode ? WriteUrlEncoded(next, param.strValue) : WriteRaw(next, param.strValue);
  }
  out.resize(static_cast<std::size_t>(next - out.data()));
  return out;
}

}  // namespace

CCallIdSource::CCallIdSource(IClock& clock) : m_clock(clock) {}

std::string CCallIdSource::MakeCallId() {
  const std::int64_t counter = m_clock.PerformanceCounter();
  const std::int64_t frequency = m_clock.PerformanceFrequency();
  std::uint64_t value = 0;
  if (counter > 0 && frequency > 0) {
    value = static_cast<std::uint64_t>(static_cast<double>(counter) * 100000.0 /
                                       static_cast<double>(frequency));
  } else {
    value = m_clock.TickCount();
  }
  // Two calls within one unit, or a tick count that wrapped, still get growing ids.
  std::uint64_t last = m_nLast.load();
  std::uint64_t next = 0;
  do {
    next = std::max(value, last + 1);
  } while (!m_nLast.compare_exchange_weak(last, next));
  return std::to_string(next);
}

void AddParam(CFacebookParams& params, std::string name, std::string value) {
  params.m_aParams.push_back({std::move(name), std::move(value)});
}

void AddCallId(CFacebookParams& params, CCallIdSource& callIds) {
  if (!params.m_bCallIdAdded) {
    AddParam(params, "call_id", callIds.MakeCallId());
    params.m_bCallIdAdded = true;
  }
}

void AddStandardParams(CFacebookParams& params, const std::string& apiKey, CCallIdSource& callIds,
                       const std::string& methodName, const std::string& sessionKey,
                       const std::string& apiVersion) {
  params.m_aParams.reserve(params.m_aParams.size() + 6);  // five here, "sig" later
  AddParam(params, "api_key", apiKey);
  AddCallId(params, callIds);
  AddParam(params, "method", methodName);
  if (!sessionKey.empty()) {
    AddParam(params, "session_key", sessionKey);
  }
  AddParam(params, "v", apiVersion);
}

std::string ComputeSignature(const CFacebookParams& params, std::string_view secret) {
  std::string base = JoinWithSpare(params, false, secret.size());
  base.append(secret);
  const Md5Digest digest = ComputeMd5(base);
  std::string hex(2 * digest.size(), '0');
  for (std::size_t i = 0; i < digest.size(); ++i) {
    hex[2 * i] = kHexLower[digest[i] >> 4];
    hex[2 * i + 1] = kHexLower[digest[i] & 0xF];
  }
  return hex;
}

std::string BuildRequestBody(CFacebookParams& params, std::string_view secret) {
  StableSort(params.m_aParams);
  AddParam(params, "sig", ComputeSignature(params, secret));
  return JoinParams(params, true);
}

std::string JoinParams(const CFacebookParams& params, bool encode) {
  return JoinWithSpare(params, encode, 0);
}

std::string UrlEncode(std::string_view text) {
  std::string out(3 * text.size(), '\0');
  out.resize(static_cast<std::size_t>(WriteUrlEncoded(&out[0], text) - out.data()));
  return out;
}
