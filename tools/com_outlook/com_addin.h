// The add-in bound to the simulated Outlook through COM, as Outlook binds it: the class found
// by its ProgID (Zenlet.Connect) where regsvr32 registered it, created in process, and driven
// through _IDTExtensibility2 with the simulation's Application as an automation object.
// Outlook 2010 and later (major version 14 and up) end the process after Quit without
// OnBeginShutdown and OnDisconnection; older ones call both and release the add-in.
//
// It also keeps the facts the COM test Outlook reports after Quit: the threads the add-in
// started while it connected and whether they have ended, and the automation objects the
// add-in still holds.
//
// Threading: Outlook's main thread, in a single-threaded apartment.
#pragma once

#include <windows.h>

#include <memory>
#include <set>
#include <string>

#include "platform/sim/sim_outlook.h"
#include "platform/win32/win32_handles.h"
#include "tools/com_outlook/automation_objects.h"
#include "tools/zenlet/outlook_session.h"

struct _IDTExtensibility2;

class CComAddin : public IAddinBinding {
 public:
  CComAddin(CSimOutlook& outlook, std::shared_ptr<CAutomationContext> context, std::wstring progId);
  ~CComAddin() override;
  CComAddin(const CComAddin&) = delete;
  CComAddin& operator=(const CComAddin&) = delete;

  // Finds and creates the class; false with the reason when it cannot.
  bool Create(std::string* error);

  void ConnectAtStartup() override;
  void ShutDown() override;
  void SwitchOff() override;
  void SwitchOn() override;
  // As the toolbar shows it: the logout item is offered.
  bool IsLoggedIn() override;

  // Whether this Outlook shuts down fast (no OnBeginShutdown, no OnDisconnection).
  bool ShutsDownFast() const;
  // The threads the add-in started at connection that still run.
  int ThreadsLeft() const;
  // Lets go of Outlook's own references (its Application and AddInInst objects), as an
  // Outlook that shuts down does, so that what is still alive is the add-in's; the add-in
  // itself is never released (an Outlook that shut down fast ends the process).
  void ReleaseOutlooksReferences();

  // The last OnConnection's and OnDisconnection's durations, in milliseconds.
  double ConnectionMs() const { return m_connectionMs; }
  double DisconnectionMs() const { return m_disconnectionMs; }

  // Connection and disconnection alone, for measuring them.
  void Connect(int mode = kConnectAtStartup);
  void Disconnect(int mode = kDisconnectAtShutdown);

 private:
  CSimOutlook& m_outlook;
  std::shared_ptr<CAutomationContext> m_spContext;
  const std::wstring m_strProgId;
  TComPtr<_IDTExtensibility2> m_spAddin;
  TComPtr<IDispatch> m_spApplication;
  TComPtr<IDispatch> m_spAddInInstance;
  std::set<DWORD> m_addinThreads;
  double m_connectionMs = 0;
  double m_disconnectionMs = 0;
};
