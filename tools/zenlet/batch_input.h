// The batch transport's input as each system gives it: waiting a while for a command line to
// arrive, so that the reader sees a stop request, and reading what arrived. One file per
// system (batch_input_posix.cc, batch_input_win32.cc), chosen by the build.
#pragma once

#include <cstddef>

enum class BatchInput {
  kReady,      // something to read, or the end to find out by reading
  kNothingYet  // nothing came within the wait
};

// Waits at most `timeoutMs` for input on the file descriptor `fd`.
BatchInput WaitForBatchInput(int fd, int timeoutMs);
// Reads what arrived: its byte count, 0 at the end of the input (or a failure that ends it),
// -1 when interrupted before anything was read.
long ReadBatchInput(int fd, char* buffer, std::size_t size);
