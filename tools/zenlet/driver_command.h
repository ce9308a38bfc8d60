// The commands of the driver protocol, as the page and a batch script send them: one JSON
// object each, such as {"cmd":"click","explorer":1,"id":2}, optionally with a "ref" of the
// sender's that the events ending the command carry back. README.md lists them; the help
// text (command_line.cc) sums them up.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

enum class CommandKind {
  kClick,        // press a button or menu item by command id
  kType,         // type a status into the status box and press Enter
  kChoose,       // choose an item of the status box's list
  kPick,         // pick an item of the notifications drop-down
  kSnapshot,     // the toolbar of every explorer
  kTimer,        // fire the refresh timer now
  kWait,         // let some milliseconds pass before the next command
  kNewExplorer,  // open another explorer window
  kActivate,     // activate an explorer
  kClose,        // close an explorer
  kOk,           // answer the message box on top
  kQuit,         // quit Outlook
  kDisconnect,   // untick the add-in in Outlook's COM Add-ins dialog
  kConnect,      // tick it again
};

struct DriverCommand {
  CommandKind kind = CommandKind::kSnapshot;
  int nExplorer = 0;     // from 1; 0 for the commands that name none
  int nId = 0;           // click: the command id
  int nIndex = 0;        // choose, pick: the item, from 1
  int nMs = 0;           // wait
  std::wstring strText;  // type
  // Any JSON value the sender gave as "ref", handed back in the events that end the command;
  // null when none was given.
  nlohmann::ordered_json ref;
  // Why the line could not be read as a command; empty for one that could. Its error event
  // is sent in the command's turn.
  std::string strRefusal;
};

// The longest wait a command may ask for, in milliseconds.
inline constexpr int kLongestWaitMs = 600000;

// Reads one command. Fills `error` and returns nothing for a line that is not JSON, a command
// that does not exist, a field missing, unknown or of the wrong type, or a number out of range;
// `ref`, when given, then takes the line's "ref" if the line is an object that has one.
// Whether an explorer or an item exists is for the driver to find out.
std::optional<DriverCommand> ParseDriverCommand(std::string_view line, std::string* error,
                                                nlohmann::ordered_json* ref = nullptr);

// The protocol's name of a command ("click", "new_explorer", ...).
const char* CommandName(CommandKind kind);
