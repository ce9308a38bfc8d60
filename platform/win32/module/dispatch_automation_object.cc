#include "platform/win32/module/dispatch_automation_object.h"

#include "platform/win32/module/zenlet_ids.h"

std::shared_ptr<CDispatchAutomationObject> CDispatchAutomationObject::FromUnknown(
    IUnknown* object) {
  TComPtr<IDispatch> dispatch;
  if (object == nullptr || FAILED(object->QueryInterface(IID_IDispatch, dispatch.ReceiveVoid())) ||
      !dispatch) {
    return nullptr;
  }
  return std::make_shared<CDispatchAutomationObject>(std::move(dispatch));
}

HRESULT CDispatchAutomationObject::QueryOutlookApplication(
    std::shared_ptr<IOutlookApplication>* application) {
  application->reset();
  TComPtr<IUnknown> outlook;
  const HRESULT hr = m_spDispatch->QueryInterface(kIidOutlookApplication, outlook.ReceiveVoid());
  // Found or not, there is no wrapper of Outlook's objects to hand out yet.
  return FAILED(hr) ? hr : E_NOINTERFACE;
}
