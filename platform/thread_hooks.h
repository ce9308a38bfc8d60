// Per-thread set-up for the add-in's own worker threads (the COM apartment on Windows).
//
// Threading: OnWorkerStart runs first and OnWorkerEnd last on the worker itself; both must
// be balanced even when the work fails. Errors: none reported; a failed set-up leaves the
// worker to run without what it would have provided.
#pragma once

class IThreadHooks {
 public:
  virtual ~IThreadHooks() = default;
  virtual void OnWorkerStart() = 0;
  virtual void OnWorkerEnd() = 0;
};
