#include "platform/win32/win32_window_system.h"

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>

namespace {

// A windowless timer's procedure gets only its id, so the callbacks live in one table of
// the process, keyed by that id.
// The table is never destroyed: a timer may still fire while the process ends.
std::mutex g_timersMutex;
std::map<UINT_PTR, std::shared_ptr<std::function<void()>>>& Timers() {
  static auto* timers = new std::map<UINT_PTR, std::shared_ptr<std::function<void()>>>();
  return *timers;
}

void CALLBACK OnThreadTimer(HWND, UINT, UINT_PTR id, DWORD) {
  std::shared_ptr<std::function<void()>> callback;
  {
    std::lock_guard<std::mutex> lock(g_timersMutex);
    const auto found = Timers().find(id);
    if (found == Timers().end()) {
      return;  // killed while its message was on the way
    }
    callback = found->second;  // stays alive if the callback kills its own timer
  }
  try {
    (*callback)();
  } catch (...) {
    // Nothing may unwind into user32's dispatch; the next tick runs as usual.
  }
}

using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);

}  // namespace

TimerId CWin32WindowSystem::SetThreadTimer(std::uint32_t periodMs, std::function<void()> callback) {
  auto shared = std::make_shared<std::function<void()>>(std::move(callback));
  std::lock_guard<std::mutex> lock(g_timersMutex);
  const UINT_PTR id = SetTimer(nullptr, 0, periodMs, OnThreadTimer);
  if (id != 0) {
    Timers()[id] = std::move(shared);
  }
  return id;
}

bool CWin32WindowSystem::KillThreadTimer(TimerId id) {
  std::lock_guard<std::mutex> lock(g_timersMutex);
  if (Timers().erase(id) == 0) {
    return false;
  }
  KillTimer(nullptr, id);
  return true;
}

WindowHandle CWin32WindowSystem::GetActiveWindow() {
  return reinterpret_cast<WindowHandle>(::GetActiveWindow());
}

OsVersion CWin32WindowSystem::GetOsVersion() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  // Through void(*)() first: GetProcAddress's type says nothing of the real signature.
  const auto rtlGetVersion =
      ntdll != nullptr ? reinterpret_cast<RtlGetVersionFunction>(
                             reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")))
                       : nullptr;
  if (rtlGetVersion == nullptr || rtlGetVersion(&info) != 0) {
    return OsVersion{};
  }
  return OsVersion{info.dwMajorVersion, info.dwMinorVersion};
}
