// An automation object that Outlook passes to the add-in (the Application and AddInInst
// arguments of OnConnection), held through its IDispatch.
//
// QueryOutlookApplication asks the object for Outlook's _Application. The Outlook object
// model is not yet wrapped for the portable code, so even an object that is Outlook's
// application answers E_NOINTERFACE here: the add-in then connects as it does for a host
// without _Application (major version 0, no explorers).
#pragma once

#include <oaidl.h>

#include <memory>

#include "platform/outlook_host.h"
#include "platform/win32/win32_handles.h"

class CDispatchAutomationObject : public IAutomationObject {
 public:
  // Null when `object` is null or has no IDispatch.
  static std::shared_ptr<CDispatchAutomationObject> FromUnknown(IUnknown* object);

  explicit CDispatchAutomationObject(TComPtr<IDispatch> dispatch)
      : m_spDispatch(std::move(dispatch)) {}

  HRESULT QueryOutlookApplication(std::shared_ptr<IOutlookApplication>* application) override;

  IDispatch* Dispatch() const { return m_spDispatch.Get(); }

 private:
  TComPtr<IDispatch> m_spDispatch;
};
