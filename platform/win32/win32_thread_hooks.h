// The worker's COM apartment: a single-threaded apartment entered when the worker starts and
// left when it ends (only when entering succeeded), so that MSXML and the players' objects can
// be made on the worker.
#pragma once

#include "platform/thread_hooks.h"

class CWin32ThreadHooks : public IThreadHooks {
 public:
  void OnWorkerStart() override;
  void OnWorkerEnd() override;
};
