// The Outlook host contract suite (platform/outlook_host.h), written against the seam only.
// An implementation joins it through a peer: the host's Application argument, plus the
// user's actions that make the host raise its events, carried out as the host's own user
// interface would (the simulated Outlook's driver, or a COM-driven Outlook).
//
//   INSTANTIATE_TEST_SUITE_P(Mine, OutlookHostContractTest,
//                            ::testing::Values(OutlookHostContractTarget{"Mine", &CreatePeer}),
//                            OutlookHostContractTargetName);
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

#include "platform/outlook_host.h"
#include "tests/support/simulated_outlook.h"

class IOutlookHostContractPeer {
 public:
  virtual ~IOutlookHostContractPeer() = default;

  // What OnConnection receives as Application: it answers QueryOutlookApplication.
  virtual std::shared_ptr<IAutomationObject> ApplicationArgument() = 0;

  // The user's actions. Explorers are numbered from 1 in the order they opened; a control is
  // the one at position `control` (from 1) of the bar named `bar`. A peer that cannot carry
  // an action out records a test failure.
  virtual int OpenExplorer() = 0;  // the new window becomes the active one
  virtual void CloseExplorer(int explorer) = 0;
  virtual void ActivateExplorer(int explorer) = 0;
  virtual void Quit() = 0;  // Outlook's Quit event, before the add-in is disconnected
  virtual void PressButton(int explorer, const std::wstring& bar, int control) = 0;
  // Types into a combo box and presses Enter.
  virtual void TypeText(int explorer, const std::wstring& bar, int control,
                        const std::wstring& text) = 0;
  virtual void PickItem(int explorer, const std::wstring& bar, int control, int index) = 0;
};

// The simulated Outlook, driven as a user would; a peer that shows it another way (as COM
// objects) gives its own Application argument.
class CSimHostPeer : public IOutlookHostContractPeer {
 public:
  std::shared_ptr<IAutomationObject> ApplicationArgument() override {
    return m_outlook.ApplicationArgument();
  }
  int OpenExplorer() override { return m_outlook.OpenExplorer(); }
  void CloseExplorer(int explorer) override { Check(m_outlook.CloseExplorer(explorer)); }
  void ActivateExplorer(int explorer) override { Check(m_outlook.ActivateExplorer(explorer)); }
  void Quit() override { Check(m_outlook.FireQuit()); }
  void PressButton(int explorer, const std::wstring& bar, int control) override {
    Check(m_outlook.PressButton(explorer, SimControlPath::At(bar, control)));
  }
  void TypeText(int explorer, const std::wstring& bar, int control,
                const std::wstring& text) override {
    Check(m_outlook.TypeText(explorer, SimControlPath::At(bar, control), text));
  }
  void PickItem(int explorer, const std::wstring& bar, int control, int index) override {
    Check(m_outlook.PickItem(explorer, SimControlPath::At(bar, control), index));
  }

 protected:
  static void Check(const SimResult& result) { EXPECT_TRUE(result.Ok()) << result.strError; }

  CSimulatedOutlook m_host;
  CSimOutlook& m_outlook = m_host.outlook;
};

struct OutlookHostContractTarget {
  const char* pszName;
  std::unique_ptr<IOutlookHostContractPeer> (*create)();
};

inline void PrintTo(const OutlookHostContractTarget& target, std::ostream* out) {
  *out << target.pszName;
}

inline std::string OutlookHostContractTargetName(
    const ::testing::TestParamInfo<OutlookHostContractTarget>& info) {
  return info.param.pszName;
}

class OutlookHostContractTest : public ::testing::TestWithParam<OutlookHostContractTarget> {
 protected:
  void SetUp() override;

  IOutlookHostContractPeer& Peer() { return *m_pPeer; }
  IOutlookApplication& App() { return *m_spApplication; }
  // The command bars of explorer `number`'s window.
  std::shared_ptr<ICommandBars> BarsOf(int number);
  // A new, visible, temporary bar in explorer `number`.
  std::shared_ptr<ICommandBar> AddBar(int number, const std::wstring& name);
  std::shared_ptr<ICommandBarControl> AddControl(ICommandBar& bar, std::int32_t type);

 private:
  std::unique_ptr<IOutlookHostContractPeer> m_pPeer;
  std::shared_ptr<IOutlookApplication> m_spApplication;
};
