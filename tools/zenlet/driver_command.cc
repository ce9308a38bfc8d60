#include "tools/zenlet/driver_command.h"

#include <initializer_list>
#include <nlohmann/json.hpp>

#include "common/text.h"
#include "tools/restemu/json_fields.h"

namespace {

struct CommandShape {
  CommandKind kind;
  const char* szName;
  bool bExplorer;          // names an explorer
  const char* szArgument;  // its other field: "id", "text", "index", "ms", or null
};

constexpr CommandShape kShapes[] = {
    {CommandKind::kClick, "click", true, "id"},
    {CommandKind::kType, "type", true, "text"},
    {CommandKind::kChoose, "choose", true, "index"},
    {CommandKind::kPick, "pick", true, "index"},
    {CommandKind::kSnapshot, "snapshot", false, nullptr},
    {CommandKind::kTimer, "timer", false, nullptr},
    {CommandKind::kWait, "wait", false, "ms"},
    {CommandKind::kNewExplorer, "new_explorer", false, nullptr},
    {CommandKind::kActivate, "activate", true, nullptr},
    {CommandKind::kClose, "close", true, nullptr},
    {CommandKind::kOk, "ok", false, nullptr},
    {CommandKind::kQuit, "quit", false, nullptr},
    {CommandKind::kDisconnect, "disconnect", false, nullptr},
    {CommandKind::kConnect, "connect", false, nullptr},
};

nlohmann::ordered_json CopyRef(const nlohmann::json& ref) {
  return nlohmann::ordered_json::parse(ref.dump());
}

DriverCommand ReadCommand(const CJsonField& root) {
  if (!root.Value().is_object()) {
    root.Fail("a command is a JSON object such as {\"cmd\":\"snapshot\"}");
  }
  const std::string name = root.Member("cmd").String();
  const CommandShape* shape = nullptr;
  for (const CommandShape& candidate : kShapes) {
    if (name == candidate.szName) {
      shape = &candidate;
    }
  }
  if (shape == nullptr) {
    root.Member("cmd").Fail("unknown command " + QuotedText(name));
  }
  const std::string_view argument = shape->szArgument != nullptr ? shape->szArgument : "cmd";
  root.RequireObject({"cmd", "ref", shape->bExplorer ? "explorer" : "cmd", argument});

  DriverCommand command;
  command.kind = shape->kind;
  if (root.Has("ref")) {
    command.ref = CopyRef(root.Member("ref").Value());
  }
  if (shape->bExplorer) {
    command.nExplorer = static_cast<int>(root.Member("explorer").Integer(1, 1000000));
  }
  if (argument == "id") {
    command.nId = static_cast<int>(root.Member("id").Integer(0, 1000000));
  } else if (argument == "index") {
    command.nIndex = static_cast<int>(root.Member("index").Integer(1, 1000000));
  } else if (argument == "ms") {
    command.nMs = static_cast<int>(root.Member("ms").Integer(0, kLongestWaitMs));
  } else if (argument == "text") {
    command.strText = Utf8ToWide(root.Member("text").String());
  }
  return command;
}

}  // namespace

std::optional<DriverCommand> ParseDriverCommand(std::string_view line, std::string* error,
                                                nlohmann::ordered_json* ref) {
  nlohmann::json document;
  try {
    document = ParseJsonDocument(line, "the command");
    return ReadCommand(CJsonField(document, ""));
  } catch (const CFieldError& failure) {
    *error = failure.what();
    if (ref != nullptr && document.is_object() && document.contains("ref")) {
      *ref = CopyRef(document.at("ref"));
    }
    return std::nullopt;
  }
}

const char* CommandName(CommandKind kind) {
  for (const CommandShape& shape : kShapes) {
    if (shape.kind == kind) {
      return shape.szName;
    }
  }
  return "?";
}
