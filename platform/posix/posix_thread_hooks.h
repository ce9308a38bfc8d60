// Worker-thread hooks of a POSIX system. A POSIX thread needs no per-thread set-up before
// it runs add-in code (there is no COM apartment to enter), so both hooks leave the thread
// as it is.
#pragma once

#include "platform/thread_hooks.h"

class CPosixThreadHooks : public IThreadHooks {
 public:
  void OnWorkerStart() override;
  void OnWorkerEnd() override;
};
