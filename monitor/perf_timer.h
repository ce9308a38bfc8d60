// A high-resolution stopwatch on the clock's performance counter, for timing slow calls in
// the debug log.
#pragma once

#include <cstdint>

class IClock;

class CPerfTimer {
 public:
  // The clock must outlive the timer.
  explicit CPerfTimer(IClock& clock);
  virtual ~CPerfTimer() = default;

  // Starts (or restarts) the timer. Its first start also measures what an empty start and
  // stop cost on this clock, which every reading leaves out.
  void Start();
  // Milliseconds since Start less that overhead; never negative. 0 for a timer never
  // started, and on a clock without a counter.
  double ElapsedMs();

 protected:
  // Bracket every read-modify-write of the tick value; a timer shared between threads
  // overrides them. This one belongs to one thread.
  virtual void Lock() {}
  virtual void Unlock() {}

 private:
  void StartCounting();

  IClock& m_clock;
  // While running: the counter reading at the start (positive). Stopped: minus the elapsed
  // ticks, zero or negative.
  std::int64_t m_nTicks = 0;
  std::int64_t m_nFrequency = 0;  // ticks per second; 0 until the first Start
  std::int64_t m_nOverhead = 0;   // ticks of an empty start and stop, as a number <= 0
};
