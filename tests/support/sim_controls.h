// Single controls of the simulated Outlook, for tests that drive one control through the
// host seam without the add-in: each stands on a temporary bar of an explorer window of its
// own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/outlook_host.h"
#include "platform/sim/sim_outlook.h"

struct SimComboBox {
  int nExplorer = 0;
  SimControlPath path;  // for the driver's TypeText and PickItem
  std::shared_ptr<ICommandBarComboBox> spBox;

  // What the user sees of it.
  std::vector<std::wstring> Items() const;
  std::wstring Text() const;
  std::int32_t ListIndex() const;
  bool Enabled() const;
};

// A new control of `type` (office::kControlComboBox or office::kControlDropdown) in a new
// explorer window of `outlook`.
SimComboBox AddSimComboBox(CSimOutlook& outlook, std::int32_t type);

struct SimButton {
  int nExplorer = 0;
  SimControlPath path;  // for ReadBar and PressButton
  std::shared_ptr<ICommandBarButton> spButton;
};

// A new button in a new explorer window of `outlook`.
SimButton AddSimButton(CSimOutlook& outlook);
