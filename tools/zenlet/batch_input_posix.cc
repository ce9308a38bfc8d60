#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "tools/zenlet/batch_input.h"

BatchInput WaitForBatchInput(int fd, int timeoutMs) {
  pollfd ready{fd, POLLIN, 0};
  const int polled = poll(&ready, 1, timeoutMs);
  // A failed poll is the end of the input, which the read then finds.
  return polled == 0 || (polled < 0 && errno == EINTR) ? BatchInput::kNothingYet
                                                       : BatchInput::kReady;
}

long ReadBatchInput(int fd, char* buffer, std::size_t size) {
  const ssize_t count = read(fd, buffer, size);
  if (count < 0) {
    return errno == EINTR ? -1 : 0;
  }
  return static_cast<long>(count);
}
