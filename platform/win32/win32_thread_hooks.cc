#include "platform/win32/win32_thread_hooks.h"

#include <objbase.h>

namespace {
// Whether this thread's OnWorkerStart initialised COM and so owes a CoUninitialize.
thread_local bool t_bComEntered = false;
}  // namespace

void CWin32ThreadHooks::OnWorkerStart() {
  t_bComEntered = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

void CWin32ThreadHooks::OnWorkerEnd() {
  if (t_bComEntered) {
    t_bComEntered = false;
    CoUninitialize();
  }
}
