// A simulated Outlook on a manual clock, for tests: nothing waits in real time, and moving
// the clock runs on the main thread what fell due. Tests that use it link zenlet_sim.
//
//   CSimulatedOutlook host;
//   int explorer = host.outlook.OpenExplorer();
//   host.Advance(std::chrono::milliseconds(3000));  // the 3000 ms timers fire
#pragma once

#include <chrono>
#include <utility>

#include "platform/sim/sim_outlook.h"
#include "tests/support/manual_clock.h"

struct CSimulatedOutlook {
  explicit CSimulatedOutlook(SimOutlookOptions options = {}) : outlook(clock, std::move(options)) {}

  // Moves the clock and runs what fell due; returns how many tasks and timer callbacks ran.
  int Advance(std::chrono::milliseconds step) {
    clock.Advance(step);
    return outlook.RunPending();
  }

  CManualClock clock;
  CSimOutlook outlook;
};
