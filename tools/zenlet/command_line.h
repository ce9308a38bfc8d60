// The zenlet program's command line: what the user asked for, read from argv without
// touching anything. Start-up (main.cc) acts on it.
#pragma once

#include <string>
#include <vector>

struct ProgramOptions {
  int nPagePort = 0;          // the page's port; 0 picks a free one
  std::string strServiceUrl;  // "scheme://host:port/" of a REST service; empty: the emulator
  std::string strDataDir;     // empty: the XDG folders
  int nExplorers = 1;         // explorer windows open at start-up
  std::string strOutlookVersion = "16.0.0.4266";
  bool bBatch = false;          // JSON Lines on standard input and output, no page
  bool bNoAutoBrowser = false;  // batch: leave the emulator's pages to the script
  bool bAutoOk = false;         // answer every message box at once
  bool bOpen = false;           // open the page in the default browser
  bool bHelp = false;
  bool bVersion = false;
};

struct CommandLine {
  ProgramOptions options;
  std::string strError;  // empty when the arguments were understood
};

// Reads the arguments after the program's name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The --help text: every option and every driver command.
std::string HelpText();
