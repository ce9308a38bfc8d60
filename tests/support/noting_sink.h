// A sink of every Outlook and Office event interface that notes what it hears as
// "name:event" in a shared log, keeps the objects the events bring, and may act from inside
// an event (the handler may replace or clear itself).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/outlook_host.h"

class CNotingSink : public IApplicationEvents,
                    public IExplorersEvents,
                    public IExplorerEvents,
                    public ICommandBarButtonEvents,
                    public ICommandBarComboBoxEvents {
 public:
  CNotingSink(std::vector<std::string>* log, std::string name)
      : m_pLog(log), m_strName(std::move(name)) {}

  std::function<void()> onEvent;
  std::shared_ptr<IOutlookExplorer> spNewExplorer;
  std::shared_ptr<ICommandBarButton> spClicked;
  std::shared_ptr<ICommandBarComboBox> spChanged;
  bool bCancelDefaultGiven = false;

  void OnStartup() override { Note("startup"); }
  void OnQuit() override { Note("quit"); }
  void OnNewExplorer(const std::shared_ptr<IOutlookExplorer>& explorer) override {
    spNewExplorer = explorer;
    Note("new");
  }
  void OnActivate() override { Note("activate"); }
  void OnSelectionChange() override { Note("selection"); }
  void OnClose() override { Note("close"); }
  void OnClick(const std::shared_ptr<ICommandBarButton>& button, bool* cancelDefault) override {
    spClicked = button;
    bCancelDefaultGiven = cancelDefault != nullptr;
    Note("click");
  }
  void OnChange(const std::shared_ptr<ICommandBarComboBox>& comboBox) override {
    spChanged = comboBox;
    Note("change");
  }

 private:
  void Note(const char* event) {
    m_pLog->push_back(m_strName + ":" + event);
    if (onEvent) {
      const std::function<void()> call = onEvent;
      call();
    }
  }

  std::vector<std::string>* m_pLog;
  std::string m_strName;
};
