// Fault injection for the simulated Outlook: any call of the object model, the user shell,
// the window system or the clipboard can be made to fail, so that every failure path of the
// add-in can be driven. A fault names its call, the HRESULT to answer, which call fails (the
// Nth from now) and whether every later one fails too.
//
// Calls are named as the object model names them. Property reads and methods carry their
// plain name, property writes end in "=":
//
//   _Application.Version  .Explorers  .ActiveExplorer  .CreateItem  .Session
//   _Explorers.Count  .Item             _Explorer.CommandBars       IOleWindow.GetWindow
//   _MailItem.Subject=  .To=  .Display  _NameSpace.GetDefaultFolder
//   MAPIFolder.Items  _Items.Count
//   QueryInterface(_Application)  QueryInterface(_MailItem)  QueryInterface(CommandBarButton)
//   QueryInterface(CommandBarComboBox)  QueryInterface(CommandBarPopup)
//   CommandBars.Item  .Add              CommandBar.Name  .Controls  .Position  .Position=
//   .RowIndex  .RowIndex=  .Left  .Left=  .Visible  .Visible=
//   CommandBar.Delete  CommandBarControls.Count  .Item  .Add
//   CommandBarControl.Type  .Tag  .Tag=  .Caption  .Caption=  .TooltipText  .TooltipText=
//   .BeginGroup  .BeginGroup=  .Visible  .Visible=  .Enabled  .Enabled=  .Width  .Width=
//   .Delete
//   CommandBarButton.Style  .Style=  .Picture=  .Mask=  .PasteFace  .CopyFace
//   CommandBarComboBox.Text  .Text=  .ListIndex  .ListIndex=  .ListCount  .List  .Clear
//   .AddItem  .DropDownLines=  .DropDownWidth=
//   CommandBarPopup.CommandBar
//   ConnectionPoint.Advise  .Unadvise (every source), and per source ApplicationEvents.Advise,
//   ExplorersEvents.Advise, ExplorerEvents.Advise, _CommandBarButtonEvents.Advise,
//   _CommandBarComboBoxEvents.Advise, each also with .Unadvise
//   SetTimer  MessageBox  ShellExecute  OpenClipboard  EmptyClipboard  GetClipboardData
//   SetClipboardData
//
// A call that the fault fails does nothing else: no state changes, no event fires, out-values
// stay null. Calls that answer no HRESULT (SetTimer, MessageBox, ShellExecute and the
// clipboard's) fail in their own way (0, false).
//
// Threading: safe from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "common/hresult.h"

class CSimFaults {
 public:
  // The `nth` call named `call` from now (1: the next one) fails with `hr`; with `persistent`,
  // every call after it fails as well. Replaces an earlier fault of that call.
  void Inject(std::string_view call, HRESULT hr, int nth = 1, bool persistent = false);
  // Every call named `call` fails with `hr` from now on.
  void FailAlways(std::string_view call, HRESULT hr) { Inject(call, hr, 1, true); }
  void Clear(std::string_view call);
  void ClearAll();

  // How many calls named `call` were made so far, failed ones included.
  std::int64_t CallCount(std::string_view call) const;

  // Counts a call and answers the failure planned for it, S_OK when none is.
  HRESULT OnCall(std::string_view call);

 private:
  struct Entry {
    std::int64_t nCalls = 0;
    bool bArmed = false;
    int nCountdown = 0;  // calls still to pass before the failing one
    bool bPersistent = false;
    HRESULT hr = S_OK;
  };

  mutable std::mutex m_mutex;
  std::map<std::string, Entry, std::less<>> m_entries;
};
