// Clock seam: every reading of time and every timed wait goes through it, so that tests can
// drive minutes of behaviour with a manual clock and no real waiting.
//
// Threading: every operation is safe from any thread. Errors: none are possible except where
// stated.
#pragma once

#include <cstdint>
#include <memory>

struct LocalDate {
  int nYear = 1970;
  int nMonth = 1;  // 1-12
  int nDay = 1;    // 1-31
};

// An auto-reset event: Signal lets exactly one current or future Wait return true, then the
// event is unsignalled again. A signal made while nobody waits is kept for the next Wait.
class IWakeEvent {
 public:
  virtual ~IWakeEvent() = default;
  virtual void Signal() = 0;
  // Waits until the event is signalled (true) or `timeoutMs` of this clock's time have
  // passed (false).
  virtual bool Wait(std::uint32_t timeoutMs) = 0;
};

class IClock {
 public:
  virtual ~IClock() = default;

  // Seconds since 1970-01-01 UTC, as time() gives them.
  virtual std::int64_t Now() = 0;
  // Milliseconds since system start, wrapping at 2^32.
  virtual std::uint32_t TickCount() = 0;
  // A high-resolution counter and its ticks per second; either may be 0 where none exists.
  virtual std::int64_t PerformanceCounter() = 0;
  virtual std::int64_t PerformanceFrequency() = 0;
  // Today's date in the user's time zone.
  virtual LocalDate Today() = 0;

  // A new, unsignalled wake event whose waits run on this clock. null if none can be made.
  virtual std::unique_ptr<IWakeEvent> CreateWakeEvent() = 0;
};
