#include "platform/win32/automation_events.h"

#include <ocidl.h>
#include <olectl.h>

#include <utility>

#include "platform/outlook_host.h"
#include "platform/win32/win32_handles.h"

namespace {

class CEventSink : public TDispatchObject<IDispatch> {
 public:
  CEventSink(const IID& events, EventTable table)
      : TDispatchObject<IDispatch>(events), m_table(std::move(table)) {}

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    const auto found = m_table.find(id);
    if (found == m_table.end()) {
      return S_OK;  // an event this sink does not handle
    }
    static const DISPPARAMS s_none{};
    // A handler never unwinds into the source: what it raises ends the handling of this event.
    try {
      AddRef();  // a handler may unadvise this very sink
      const EventHandler handler = found->second;
      handler(parameters != nullptr ? *parameters : s_none);
    } catch (...) {
    }
    Release();
    return S_OK;
  }

 private:
  EventTable m_table;
};

}  // namespace

CEventConnections::~CEventConnections() {
  for (auto& [cookie, point] : m_points) {
    point->Unadvise(cookie);
  }
}

HRESULT CEventConnections::Advise(IUnknown* source, const IID& events, EventTable table,
                                  std::uint32_t* cookie) {
  if (source == nullptr || cookie == nullptr) {
    return E_POINTER;
  }
  TComPtr<IConnectionPointContainer> container;
  HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, container.ReceiveVoid());
  if (FAILED(hr)) {
    return hr;
  }
  TComPtr<IConnectionPoint> point;
  hr = container->FindConnectionPoint(events, point.Receive());
  if (FAILED(hr)) {
    return hr;
  }
  TComPtr<CEventSink> sink(new CEventSink(events, std::move(table)));
  DWORD given = 0;
  hr = point->Advise(sink.Get(), &given);
  if (FAILED(hr)) {
    return hr;
  }
  m_points[given] = std::move(point);
  *cookie = given;
  return S_OK;
}

HRESULT CEventConnections::Unadvise(std::uint32_t cookie) {
  const auto found = m_points.find(cookie);
  if (found == m_points.end()) {
    return kConnectNoConnection;
  }
  TComPtr<IConnectionPoint> point = std::move(found->second);
  m_points.erase(found);
  return point->Unadvise(cookie);
}

IDispatch* EventObjectArgument(const DISPPARAMS& parameters, UINT index) {
  if (index >= parameters.cArgs) {
    return nullptr;
  }
  const VARIANT& argument = parameters.rgvarg[parameters.cArgs - 1 - index];
  if (argument.vt == VT_DISPATCH) {
    return argument.pdispVal;
  }
  if (argument.vt == (VT_DISPATCH | VT_BYREF) && argument.ppdispVal != nullptr) {
    return *argument.ppdispVal;
  }
  return nullptr;
}

VARIANT_BOOL* EventBoolReference(const DISPPARAMS& parameters, UINT index) {
  if (index >= parameters.cArgs) {
    return nullptr;
  }
  const VARIANT& argument = parameters.rgvarg[parameters.cArgs - 1 - index];
  return argument.vt == (VT_BOOL | VT_BYREF) ? argument.pboolVal : nullptr;
}
