#include "tools/zenlet/command_line.h"

#include <cctype>
#include <cstdlib>
#include <optional>

#include "common/deployment.h"

namespace {

// A decimal number from `low` to `high`, nothing else.
std::optional<int> ReadNumber(const std::string& text, int low, int high) {
  if (text.empty() || text.size() > 9) {
    return std::nullopt;
  }
  for (const char c : text) {
    if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
      return std::nullopt;
    }
  }
  const int value = std::atoi(text.c_str());
  if (value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

// "https://host[:port][/]", or "http://" for a host of this machine: the client posts to
// /restserver.php on that host and port and the pages lie beside it, so an address with a
// path of its own cannot be served. Plain HTTP anywhere else would carry the session in clear.
bool ReadServiceUrl(const std::string& url, ProgramOptions& options, std::string& error) {
  const std::optional<ServiceAddress> address = ParseServiceAddress(url);
  if (!address) {
    error =
        "--service takes the root address of a REST service, such as https://api.example.org/ "
        "or http://127.0.0.1:8080/";
    return false;
  }
  if (!address->bTls && !IsLoopbackHost(address->strHost)) {
    error =
        "--service: plain HTTP is only for a service on this machine (127.0.0.1, localhost); "
        "use https:// for " +
        address->strHost;
    return false;
  }
  const std::string host = address->strHost.find(':') != std::string::npos
                               ? "[" + address->strHost + "]"
                               : address->strHost;
  options.strServiceUrl =
      (address->bTls ? "https://" : "http://") + host + ":" + std::to_string(address->nPort) + "/";
  error.clear();
  return true;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  ProgramOptions& options = line.options;
  bool bPortGiven = false;
  for (std::size_t i = 0; i < args.size() && line.strError.empty(); ++i) {
    const std::string& arg = args[i];
    const bool bHasValue = i + 1 < args.size();
    const auto value = [&]() -> const std::string& { return args[++i]; };
    if (arg == "--port" || arg == "--service" || arg == "--data-dir" || arg == "--explorers" ||
        arg == "--outlook-version") {
      if (!bHasValue) {
        line.strError = arg + " needs a value";
      } else if (arg == "--port") {
        const std::optional<int> port = ReadNumber(value(), 0, 65535);
        bPortGiven = true;
        if (port) {
          options.nPagePort = *port;
        } else {
          line.strError = "--port needs a port number from 0 to 65535";
        }
      } else if (arg == "--service") {
        ReadServiceUrl(value(), options, line.strError);
      } else if (arg == "--data-dir") {
        options.strDataDir = value();
        if (options.strDataDir.empty()) {
          line.strError = "--data-dir needs a folder";
        }
      } else if (arg == "--explorers") {
        const std::optional<int> count = ReadNumber(value(), 0, 16);
        if (count) {
          options.nExplorers = *count;
        } else {
          line.strError = "--explorers needs a number from 0 to 16";
        }
      } else {
        options.strOutlookVersion = value();
      }
    } else if (arg == "--batch") {
      options.bBatch = true;
    } else if (arg == "--no-auto-browser") {
      options.bNoAutoBrowser = true;
    } else if (arg == "--auto-ok") {
      options.bAutoOk = true;
    } else if (arg == "--open") {
      options.bOpen = true;
    } else if (arg == "--help" || arg == "-h") {
      options.bHelp = true;
    } else if (arg == "--version") {
      options.bVersion = true;
    } else {
      line.strError = "unknown argument: " + arg;
    }
  }
  if (line.strError.empty() && options.bBatch && (bPortGiven || options.bOpen)) {
    line.strError = "--batch serves no page, so --port and --open have no meaning with it";
  }
  return line;
}

std::string HelpText() {
  return R"(usage: zenlet [options]

Runs the add-in inside a simulated Outlook. Without --batch it serves a page on 127.0.0.1
that shows the Outlook windows with their Zenlet bar, and prints the page's address.

Options:
  --port N               serve the page on port N (default: a free port)
  --service URL          use the REST service at URL (https://host[:port]/, or http:// for
                         127.0.0.1 or localhost) instead of the built-in emulator
  --data-dir DIR         keep the settings, their key, the log and the built-in emulator's
                         state in DIR (default: the XDG folders)
  --explorers N          explorer windows open at start (default 1, at most 16)
  --outlook-version TEXT the version Outlook reports (default 16.0.0.4266)
  --batch                read commands from standard input and write events to standard
                         output, one JSON object a line
  --no-auto-browser      with --batch and the emulator: leave its login and permission pages
                         to the script (they are completed for the demo user otherwise)
  --auto-ok              answer every message box with OK at once
  --open                 open the page in the default browser
  --help                 this text
  --version              the add-in's version

Commands (JSON objects; explorers are numbered from 1 in the order they opened):
  {"cmd":"click","explorer":N,"id":ID}    press a button or menu item by command id
                                          (0 Facebook, 2 login, 3 logout, 4 check now,
                                          8 feedback, 9 website, 10 about)
  {"cmd":"type","explorer":N,"text":T}    type a status into the box and press Enter
  {"cmd":"choose","explorer":N,"index":K} choose item K (from 1) of the status list
  {"cmd":"pick","explorer":N,"index":K}   pick item K (from 1) of the notifications list
  {"cmd":"snapshot"}                      the toolbar of every explorer
  {"cmd":"timer"}                         fire the refresh timer now
  {"cmd":"wait","ms":M}                   let M milliseconds pass before the next command
  {"cmd":"new_explorer"}                  open another explorer window
  {"cmd":"activate","explorer":N}         activate explorer N
  {"cmd":"close","explorer":N}            close explorer N
  {"cmd":"ok"}                            answer the message box on top with OK
  {"cmd":"quit"}                          quit Outlook
  {"cmd":"disconnect"}, {"cmd":"connect"}  switch the add-in off or on again, as the tick box
                                          of Outlook's COM Add-ins dialog does

Any command may carry "ref": a value of yours that the events ending it carry back.
Events: ready, explorers, toolbar, message_box, message_box_closed, open_url, mail, cursor,
error, bye. README.md describes each field.
)";
}
