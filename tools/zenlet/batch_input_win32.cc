#include <windows.h>
// After windows.h, whose types it needs.
#include <io.h>

#include <algorithm>

#include "tools/zenlet/batch_input.h"

namespace {

HANDLE InputHandle(int fd) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

}  // namespace

BatchInput WaitForBatchInput(int fd, int timeoutMs) {
  // A pipe (a script's, or Wine's view of one) can be looked into without reading; anything
  // else (a console, a file) is read at once and blocks until it gives something.
  const HANDLE input = InputHandle(fd);
  const DWORD start = GetTickCount();
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr) || available > 0) {
      return BatchInput::kReady;
    }
    const DWORD waited = GetTickCount() - start;
    if (waited >= static_cast<DWORD>(timeoutMs)) {
      return BatchInput::kNothingYet;
    }
    Sleep(std::min<DWORD>(10, static_cast<DWORD>(timeoutMs) - waited));
  }
}

long ReadBatchInput(int fd, char* buffer, std::size_t size) {
  DWORD count = 0;
  if (!ReadFile(InputHandle(fd), buffer, static_cast<DWORD>(size), &count, nullptr)) {
    return 0;  // a broken pipe is the end of the input, as is any other failure
  }
  return static_cast<long>(count);
}
