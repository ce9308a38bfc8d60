// Outlook's and Office's automation objects over the Outlook host seam: what the simulated
// Outlook looks like to zenlet.dll, which reaches it only as Outlook reaches an add-in. Each
// object answers IDispatch with the members of its Outlook or Office namesake, dispatched as
// their type libraries declare them (automation_dispatch.h); a lookup that finds nothing
// (CommandBars.Item, Controls.Item) raises E_INVALIDARG. The application answers
// _Application {00063001-0000-0000-C000-000000000046}, an explorer IOleWindow with its
// window, a mail item _MailItem; event sources answer IConnectionPointContainer with the
// event interfaces and DISPIDs of platform/outlook_host.h: every Advise a connection of its
// own whose cookie Unadvise checks, arguments last first, Click's CancelDefault as
// VT_BYREF|VT_BOOL. Button faces arrive as OLE pictures (IPictureDisp) and reach the seam as
// pixels; PasteFace and CopyFace work the system's clipboard through the context's bridge.
//
// Every object counts in its context while it lives, so that the host can tell what the
// add-in still holds; once the context is torn down, any call into an object is reported as
// a call into an Outlook that has gone.
//
// Threading: the apartment that made the objects (Outlook's main thread), which is also the
// seam's.
#pragma once

#include <oaidl.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/outlook_host.h"

class CAutomationContext {
 public:
  // The objects alive now, by kind ("CommandBarButton"), the kinds with none left out.
  std::map<std::string, int> LiveObjects() const;
  // From now on a call into any object (QueryInterface, AddRef, Release, Invoke, ...) goes
  // to `report` with the object's kind and the call's name, and does nothing else.
  void TearDown(std::function<void(const std::string& kind, const char* call)> report);

  // The system's clipboard into the seam's before PasteFace, and the seam's into the
  // system's after CopyFace; either may be empty.
  std::function<void()> beforePasteFace;
  std::function<void()> afterCopyFace;

  // For the objects: counting, and whether a call may go on.
  void Count(const std::string& kind, int delta);
  bool Enter(const std::string& kind, const char* call);

 private:
  mutable std::mutex m_mutex;
  std::map<std::string, int> m_live;
  bool m_bTornDown = false;
  std::function<void(const std::string&, const char*)> m_report;
};

// Outlook's Application over `application`, with one reference for the caller.
IDispatch* NewApplicationObject(const std::shared_ptr<CAutomationContext>& context,
                                const std::shared_ptr<IOutlookApplication>& application);
// The add-in's COMAddIn object as OnConnection's AddInInst, with one reference for the
// caller: its ProgId and Description, nothing behind them.
IDispatch* NewAddInObject(const std::shared_ptr<CAutomationContext>& context,
                          const std::wstring& progId);
