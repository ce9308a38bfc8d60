// What the add-in's module keeps for the whole process: Outlook's application object and
// major version, recorded at connection and read by the toolbar and its commands, and the
// module lock count that tells the COM server whether the DLL may be unloaded.
//
// Threading: the application and the version are written and read on Outlook's main thread
// only. The lock count is safe from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "common/hresult.h"

class IOutlookApplication;

class CModuleState {
 public:
  CModuleState() = default;
  CModuleState(const CModuleState&) = delete;
  CModuleState& operator=(const CModuleState&) = delete;

  // Holds `application` (null to let go of the one held). While the major version is still
  // unknown and `application` is not null, reads its Version: once known, the version is
  // kept for the life of the process, also across disconnections.
  void SetOutlookApplication(std::shared_ptr<IOutlookApplication> application);
  // The held application; E_POINTER when none is held or `application` is null.
  HRESULT GetOutlookApplication(std::shared_ptr<IOutlookApplication>* application) const;
  // The leading decimal number of Outlook's version text; 0 until known.
  std::int32_t GetOutlookMajorVersion() const { return m_nMajorVersion; }

 private:
  std::shared_ptr<IOutlookApplication> m_spApplication;
  std::int32_t m_nMajorVersion = 0;
};

// The leading decimal digits of `version` as a number: "11.0.0.8312" gives 11; text without
// leading digits, or digits beyond the 32-bit range, give 0.
std::int32_t ParseMajorVersion(std::wstring_view version);

// The process's module state, as start-up code wired it (see common/process_instance.h):
// E_POINTER when none is wired or it holds no application.
HRESULT GetOutlookApplication(std::shared_ptr<IOutlookApplication>* application);
// 0 while no module state is wired or the version is unknown.
std::int32_t GetOutlookMajorVersion();

// A lock on the module for as long as it lives: every object the add-in creates for itself
// and hands to Outlook or Office (explorer objects, button event objects, the connection
// object) holds one, so the DLL is not unloaded under it.
class CModuleLock {
 public:
  CModuleLock();
  CModuleLock(const CModuleLock&);
  CModuleLock& operator=(const CModuleLock&) = default;
  ~CModuleLock();

  // Locks held in the process right now.
  static long Count();
};

// What the COM server's DllCanUnloadNow answers: S_OK when no module lock is held, S_FALSE
// otherwise.
HRESULT CanUnloadModuleNow();
