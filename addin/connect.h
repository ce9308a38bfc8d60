// The add-in's connection object: what Outlook creates and drives through IDTExtensibility2.
// OnConnection sets up the log, records Outlook's application and major version and starts
// the application object; OnDisconnection undoes that, and so does Outlook's Quit, after
// which Outlook 2010 and later may end the process without disconnecting. Both always
// report S_OK, so Outlook never marks the add-in as failed.
//
// The Windows COM class wraps one of these per COM object (and holds a module lock for its
// life); it passes the automation objects it receives and the results back unchanged. The
// `custom` arguments (SAFEARRAYs on Windows) are never read.
//
// Errors: out of memory and broken invariants throw (CHResultError, std::bad_alloc); the COM
// class turns them into HRESULTs.
// Threading: Outlook's main thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "common/hresult.h"

class CLogger;
class CModuleState;
class IAutomationObject;

namespace morvane {
class CZenletApplication;
}

class CConnect {
 public:
  // `log` is the "otc" category.
  CConnect(morvane::CZenletApplication& application, CModuleState& moduleState, CLogger& log);
  ~CConnect();
  // The application object calls back into the one that connected it.
  CConnect(const CConnect&) = delete;
  CConnect& operator=(const CConnect&) = delete;

  // `connectMode` is ignored; `application` and `addInInst` are kept until disconnection or
  // Quit.
  HRESULT OnConnection(const std::shared_ptr<IAutomationObject>& application,
                       std::int32_t connectMode,
                       const std::shared_ptr<IAutomationObject>& addInInst, const void* custom);
  HRESULT OnDisconnection(std::int32_t removeMode, const void* custom);
  HRESULT OnAddInsUpdate(const void* custom);
  HRESULT OnStartupComplete(const void* custom);
  HRESULT OnBeginShutdown(const void* custom);

  std::shared_ptr<IAutomationObject> m_pApplication;
  std::shared_ptr<IAutomationObject> m_pAddInInstance;

 private:
  // Lets go of what OnConnection was given.
  void ReleaseHostObjects();

  morvane::CZenletApplication& m_application;
  CModuleState& m_moduleState;
  CLogger& m_log;
  bool m_bQuitHookSet = false;
};
