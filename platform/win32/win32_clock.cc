#include "platform/win32/win32_clock.h"

#include <windows.h>

#include <ctime>

#include "platform/win32/win32_handles.h"

namespace {

class CKernelWakeEvent : public IWakeEvent {
 public:
  explicit CKernelWakeEvent(CKernelHandle event) : m_hEvent(std::move(event)) {}
  void Signal() override { SetEvent(m_hEvent.Get()); }
  bool Wait(std::uint32_t timeoutMs) override {
    return WaitForSingleObject(m_hEvent.Get(), timeoutMs) == WAIT_OBJECT_0;
  }

 private:
  CKernelHandle m_hEvent;
};

}  // namespace

std::int64_t CWin32Clock::Now() {
  return static_cast<std::int64_t>(std::time(nullptr));
}

std::uint32_t CWin32Clock::TickCount() {
  return GetTickCount();
}

std::int64_t CWin32Clock::PerformanceCounter() {
  LARGE_INTEGER counter{};
  return QueryPerformanceCounter(&counter) ? counter.QuadPart : 0;
}

std::int64_t CWin32Clock::PerformanceFrequency() {
  LARGE_INTEGER frequency{};
  return QueryPerformanceFrequency(&frequency) ? frequency.QuadPart : 0;
}

LocalDate CWin32Clock::Today() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  return LocalDate{local.wYear, local.wMonth, local.wDay};
}

std::unique_ptr<IWakeEvent> CWin32Clock::CreateWakeEvent() {
  CKernelHandle event(CreateEventW(nullptr, FALSE, FALSE, nullptr));  // auto-reset, unsignalled
  if (!event) {
    return nullptr;
  }
  return std::make_unique<CKernelWakeEvent>(std::move(event));
}
