// Wires the simulated Outlook's user shell, window system and clipboard into a platform
// bundle, beside whatever adapters the bundle already holds:
//
//   CPosixPlatform adapters;
//   CSimOutlook outlook(clock);
//   Platform platform = adapters.Bundle();
//   WireSimulatedHost(outlook, &platform);
//   SetPlatform(platform);
//
// The simulation must outlive every use of the bundle.
#pragma once

#include "platform/platform.h"

class CSimOutlook;

void WireSimulatedHost(CSimOutlook& outlook, Platform* platform);
