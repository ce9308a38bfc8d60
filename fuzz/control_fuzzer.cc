// The emulator's control interface: requests that change a running world. Input: one request
// a line, "PATH BODY" (posted) or "GET PATH", for paths under /_emu/. Every answer is a JSON object
// whose "ok" agrees with its status, and afterwards the add-in's session still runs in the changed
// world with every answer well-formed.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "fuzz/emulator_support.h"
#include "fuzz/fuzz_support.h"
#include "tools/http_front/http_request.h"
#include "tools/http_front/http_server.h"
#include "tools/restemu/rest_emulator.h"

namespace {

void Send(CRestEmulator& emulator, std::string_view line) {
  HttpRequest request;
  request.strMethod = "POST";
  if (line.compare(0, 4, "GET ") == 0) {
    request.strMethod = "GET";
    line.remove_prefix(4);
  }
  const std::size_t blank = line.find(' ');
  request.strPath = std::string(line.substr(0, blank));
  request.strTarget = request.strPath;
  if (blank != std::string_view::npos) {
    request.strBody = std::string(line.substr(blank + 1));
  }
  request.aHeaders.emplace_back("Content-Type", "application/json");

  HttpResponse response;
  emulator.Handle(request, response);
  const nlohmann::json answer = nlohmann::json::parse(response.strBody, nullptr, false);
  Require(answer.is_object() && answer.contains("ok") && answer["ok"].is_boolean(),
          "every control answer is a JSON object with \"ok\"");
  const bool ok = answer["ok"].get<bool>();
  Require(ok == (response.nStatus == 200), "\"ok\" agrees with the status");
  Require(ok || (answer.contains("error") && answer["error"].is_string() &&
                 !answer["error"].get<std::string>().empty()),
          "a refusal says why");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CRestEmulator emulator(DemoScenario());
  emulator.Stop();  // a delay fault then waits for nothing
  int sent = 0;
  for (std::string_view line : SplitLines(AsText(data, size))) {
    // Other paths are the API and the pages, which the request reader's target answers.
    const bool control =
        line.compare(0, 6, "/_emu/") == 0 || line.compare(0, 10, "GET /_emu/") == 0;
    if (control && ++sent <= 16) {
      Send(emulator, line);
    }
  }
  Send(emulator, "GET /_emu/state");
  Send(emulator, "GET /_emu/calls");
  RunAddinSession(emulator.Service(), DemoScenario());
  return 0;
}
