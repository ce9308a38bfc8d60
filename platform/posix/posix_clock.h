// The clock of a POSIX system: time(), CLOCK_MONOTONIC and localtime_r.
#pragma once

#include "platform/clock.h"

class CPosixClock : public IClock {
 public:
  std::int64_t Now() override;
  std::uint32_t TickCount() override;
  std::int64_t PerformanceCounter() override;
  std::int64_t PerformanceFrequency() override;
  LocalDate Today() override;
  std::unique_ptr<IWakeEvent> CreateWakeEvent() override;
};
