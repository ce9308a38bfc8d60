// Helpers of the simulated Outlook's own tests: bars to start a window with, and reaching
// their controls through the host seam.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/sim_outlook.h"
#include "tests/support/noting_sink.h"
#include "tests/support/simulated_outlook.h"

SimControlState SimButton(const std::wstring& caption, bool enabled = true, bool visible = true);
SimControlState SimBox(std::int32_t type, const std::wstring& caption,
                       std::vector<std::wstring> items);
SimControlState SimMenu(const std::wstring& caption, std::vector<SimControlState> items,
                        bool enabled = true);
SimBarState SimBar(const std::wstring& name, std::vector<SimControlState> controls,
                   bool visible = true);

// The control at `path` of explorer `explorer`, through the host seam.
std::shared_ptr<ICommandBarControl> ControlAt(CSimOutlook& outlook, int explorer,
                                              const std::wstring& bar, int control,
                                              int menuItem = 0);

// Advises `sink` on the button or combo box `control`; returns the cookie.
std::uint32_t AdviseControl(ICommandBarControl& control, CNotingSink* sink);
