// The parameters of one REST call, their signature and the form-encoded body that carries
// them.
//
// A signature is the MD5 of every pair except "sig", sorted and run together raw as
// "name=value" with nothing between the pairs, followed by the signing secret. The body is
// the same sorted pairs URL-encoded and joined with "&", with "sig" appended last.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class IClock;

struct FacebookParam {
  std::string strName;   // ASCII
  std::string strValue;  // UTF-8 where it comes from text
};

// The ordered name/value list of one call. Made empty by each method, filled, signed, sent
// and dropped when the method returns.
class CFacebookParams {
 public:
  std::vector<FacebookParam> m_aParams;
  bool m_bCallIdAdded = false;  // "call_id" is added once, however often the list is signed
};

// Call ids: a counter of 10-microsecond units from the clock's performance counter (the
// tick count in milliseconds where there is none). It grows strictly from one id to the
// next even when the clock has not moved, since the service rejects a call id that is not
// greater than the previous one.
class CCallIdSource {
 public:
  explicit CCallIdSource(IClock& clock);

  // Decimal digits, no sign, no leading zeros. Safe from any thread.
  std::string MakeCallId();

 private:
  IClock& m_clock;
  std::atomic<std::uint64_t> m_nLast{0};
};

// Appends one pair; duplicate names are not checked.
void AddParam(CFacebookParams& params, std::string name, std::string value);
// Appends ("call_id", a new id) unless the list has one already.
void AddCallId(CFacebookParams& params, CCallIdSource& callIds);

// The pairs every call carries after its own, in this order: ("api_key", apiKey), a call id,
// ("method", methodName), ("session_key", sessionKey) only when there is a key, and
// ("v", apiVersion).
void AddStandardParams(CFacebookParams& params, const std::string& apiKey, CCallIdSource& callIds,
                       const std::string& methodName, const std::string& sessionKey,
                       const std::string& apiVersion);

// 32 lowercase hex digits: MD5 over JoinParams(params, false) followed by `secret`.
std::string ComputeSignature(const CFacebookParams& params, std::string_view secret);
// Sorts `params` by name, then value (bytes compared unsigned, a stable sort), appends
// ("sig", signature) unsorted at the end and returns the URL-encoded body.
std::string BuildRequestBody(CFacebookParams& params, std::string_view secret);
// The pairs in their order: raw and run together when `encode` is false (the signature's
// base), URL-encoded values joined with "&" when it is true (the body). Names are never
// encoded.
std::string JoinParams(const CFacebookParams& params, bool encode);
// Every byte but A-Z, a-z, 0-9, "-", "_", "." and "~" as "%XX" (upper-case hex); a space is
// "%20".
std::string UrlEncode(std::string_view text);
