#include "platform/posix/terminal_user_shell.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "common/text.h"

extern char** environ;

namespace {

const char* IconWord(std::uint32_t style) {
  if ((style & message_style::kIconError) != 0) {
    return "error";
  }
  if ((style & message_style::kIconInformation) != 0) {
    return "information";
  }
  return "message";
}

}  // namespace

int CTerminalUserShell::ShowMessage(WindowHandle /*owner*/, const std::wstring& text,
                                    const std::wstring& title, std::uint32_t style) {
  std::fprintf(m_pOutput, "\n[%s] %s\n%s\n", IconWord(style), WideToUtf8(title).c_str(),
               WideToUtf8(text).c_str());
  if (isatty(STDIN_FILENO) != 0) {
    std::fputs("(press Enter for OK) ", m_pOutput);
    std::fflush(m_pOutput);
    int c = 0;
    while ((c = std::getchar()) != EOF && c != '\n') {
    }
  }
  std::fflush(m_pOutput);
  return kMessageAnswerOk;
}

bool CTerminalUserShell::OpenAddress(const std::wstring& address) {
  const char* browser = std::getenv("BROWSER");
  std::string program = browser != nullptr && *browser != '\0' ? browser : "xdg-open";
  std::string target = WideToUtf8(address);
  char* argv[] = {program.data(), target.data(), nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
    return false;
  }
  // The browser is not waited for; a detached reaper keeps it from lingering as a zombie.
  std::thread([child] {
    int status = 0;
    waitpid(child, &status, 0);
  }).detach();
  return true;
}

// A terminal has no cursor to change.
CursorHandle CTerminalUserShell::ShowWaitCursor() { return 0; }

void CTerminalUserShell::RestoreCursor(CursorHandle /*previous*/) {}
