// What a client sends the emulator, read off the connection and answered. The first byte
// says how the rest arrives (pieces of 1 to 64 bytes); the same bytes are also read in one
// piece, and both readings must give the same requests and the same end. Each whole request
// is then answered as the server's workers answer it, and an API answer must be well-formed.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/emulator_support.h"
#include "fuzz/fuzz_support.h"
// The request reader and the emulator's answers: the only place this target names them.
#include "tools/http_front/http_request.h"
#include "tools/http_front/http_server.h"
#include "tools/restemu/rest_emulator.h"

namespace {

// Small limits, so that the inputs reach them.
constexpr HttpLimits kLimits{2048, 16, 4096};

struct Reading {
  std::vector<HttpRequest> aRequests;
  CRequestReader::State eEnd = CRequestReader::State::kNeedMore;
  int nFailureStatus = 0;
};

Reading Read(std::string_view bytes, std::size_t piece) {
  Reading reading;
  CRequestReader reader(kLimits);
  for (std::size_t at = 0; at < bytes.size() && reading.eEnd != CRequestReader::State::kFailed;
       at += piece) {
    const std::string_view next = bytes.substr(at, piece);
    reader.Append(next.data(), next.size());
    while ((reading.eEnd = reader.Advance()) == CRequestReader::State::kComplete) {
      reading.aRequests.push_back(reader.TakeRequest());
    }
  }
  if (reading.eEnd == CRequestReader::State::kFailed) {
    reading.nFailureStatus = reader.FailureStatus();
    Require(reader.Advance() == CRequestReader::State::kFailed, "a failed reading stays failed");
    Require(!reader.FailureReason().empty(), "a failed reading says why");
  }
  return reading;
}

bool SameRequest(const HttpRequest& a, const HttpRequest& b) {
  return a.strMethod == b.strMethod && a.strTarget == b.strTarget && a.strPath == b.strPath &&
         a.strQuery == b.strQuery && a.aHeaders == b.aHeaders && a.strBody == b.strBody &&
         a.bKeepAlive == b.bKeepAlive;
}

void Answer(const HttpRequest& request) {
  // The control interface has its own target; its faults would only slow this one down.
  if (request.strPath.compare(0, 6, "/_emu/") == 0) {
    return;
  }
  CRestEmulator emulator(DemoScenario());
  emulator.Stop();
  HttpResponse response;
  emulator.Handle(request, response);
  Require(response.nStatus >= 200 && response.nStatus <= 599, "every request gets a status");
  if (response.strContentType.compare(0, 8, "text/xml") == 0) {
    Require(IsWellFormedXml(response.strBody), "every XML answer is well-formed");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) {
    return 0;
  }
  const std::string_view bytes = AsText(data + 1, size - 1);
  const Reading whole = Read(bytes, bytes.size() + 1);
  const Reading pieces = Read(bytes, data[0] % 64 + 1);
  Require(whole.eEnd == pieces.eEnd && whole.nFailureStatus == pieces.nFailureStatus &&
              whole.aRequests.size() == pieces.aRequests.size(),
          "how the bytes arrive changes nothing");
  for (std::size_t i = 0; i < whole.aRequests.size(); ++i) {
    Require(SameRequest(whole.aRequests[i], pieces.aRequests[i]),
            "how the bytes arrive changes no request");
  }
  if (whole.eEnd == CRequestReader::State::kFailed) {
    Require(whole.nFailureStatus >= 400 && whole.nFailureStatus <= 599,
            "a refused request is answered with an error status");
  }
  for (const HttpRequest& request : whole.aRequests) {
    Require(request.strBody.size() <= kLimits.nMaxBodyBytes, "a body keeps to its limit");
    Require(request.aHeaders.size() <= kLimits.nMaxHeaderFields, "headers keep to their limit");
    Answer(request);
  }
  return 0;
}
