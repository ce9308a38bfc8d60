// The clock on Win32: time(), GetTickCount, the performance counter, GetLocalTime, and wake
// events on auto-reset kernel events.
#pragma once

#include "platform/clock.h"

class CWin32Clock : public IClock {
 public:
  std::int64_t Now() override;
  std::uint32_t TickCount() override;
  std::int64_t PerformanceCounter() override;
  std::int64_t PerformanceFrequency() override;
  LocalDate Today() override;
  std::unique_ptr<IWakeEvent> CreateWakeEvent() override;
};
