// A scenario file as the emulator reads it. It is refused with a message naming the field,
// or it becomes a world in which the add-in's whole session runs and every answer is
// well-formed.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/emulator_support.h"
#include "fuzz/fuzz_support.h"
#include "tools/restemu/json_fields.h"
#include "tools/restemu/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Scenario scenario;
  try {
    scenario = ParseScenario(AsText(data, size), 1700000000);
  } catch (const CFieldError& error) {
    Require(error.what()[0] != '\0', "a refused scenario says why");
    Require(std::strpbrk(error.what(), "\n\r") == nullptr, "a refusal is one line");
    return 0;
  }
  CRestService service(scenario);
  const ServiceSnapshot snapshot = service.Snapshot();
  Require(snapshot.aFriends.size() == scenario.aFriends.size(), "every friend is in the world");
  RunAddinSession(service, scenario);
  return 0;
}
