// A line of a driver script (or a command the page posts) as the zenlet program reads it.
// It is a command or a refusal that says why; a command's numbers are in their ranges, and a
// command written out again reads back the same.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "common/text.h"
#include "fuzz/fuzz_support.h"
#include "tools/zenlet/driver_command.h"

namespace {

bool NamesExplorer(CommandKind kind) {
  return kind == CommandKind::kClick || kind == CommandKind::kType ||
         kind == CommandKind::kChoose || kind == CommandKind::kPick ||
         kind == CommandKind::kActivate || kind == CommandKind::kClose;
}

// The command as a script would write it.
std::string Written(const DriverCommand& command) {
  nlohmann::ordered_json line = {{"cmd", CommandName(command.kind)}};
  if (NamesExplorer(command.kind)) {
    line["explorer"] = command.nExplorer;
  }
  switch (command.kind) {
    case CommandKind::kClick:
      line["id"] = command.nId;
      break;
    case CommandKind::kType:
      line["text"] = WideToUtf8(command.strText);
      break;
    case CommandKind::kChoose:
    case CommandKind::kPick:
      line["index"] = command.nIndex;
      break;
    case CommandKind::kWait:
      line["ms"] = command.nMs;
      break;
    default:
      break;
  }
  if (!command.ref.is_null()) {
    line["ref"] = command.ref;
  }
  return line.dump();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string error;
  nlohmann::ordered_json ref;
  const std::optional<DriverCommand> command = ParseDriverCommand(AsText(data, size), &error, &ref);
  if (!command) {
    Require(!error.empty(), "a refused line says why");
    Require(error.find_first_of("\n\r") == std::string::npos, "a refusal is one line");
    return 0;
  }
  Require(error.empty(), "a command is no refusal");
  Require(NamesExplorer(command->kind) ? command->nExplorer >= 1 : command->nExplorer == 0,
          "an explorer is numbered from 1, and only where the command names one");
  Require(command->nMs >= 0 && command->nMs <= kLongestWaitMs, "a wait keeps to its limit");
  Require(command->nIndex >= 0 && command->nId >= 0, "ids and indexes are not negative");

  std::string again;
  const std::optional<DriverCommand> reread = ParseDriverCommand(Written(*command), &again);
  Require(reread && reread->kind == command->kind && reread->nExplorer == command->nExplorer &&
              reread->nId == command->nId && reread->nIndex == command->nIndex &&
              reread->nMs == command->nMs && reread->strText == command->strText &&
              reread->ref == command->ref,
          "a command written out reads back the same");
  return 0;
}
