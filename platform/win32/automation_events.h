// Connection-point sinks for the dispatch event interfaces of Outlook and Office. A sink is a
// small COM object answering IUnknown, IDispatch and its event interface; its Invoke looks the
// DISPID up in its table and calls the handler with the DISPPARAMS (arguments last first,
// out-arguments VT_BYREF). A DISPID that is not in the table is accepted and ignored (S_OK);
// GetTypeInfoCount, GetTypeInfo and GetIDsOfNames are not implemented.
//
// Threading: the UI thread only, as the sources fire their events there.
#pragma once

#include <oaidl.h>
#include <ocidl.h>

#include <cstdint>
#include <functional>
#include <map>

#include "platform/win32/win32_handles.h"

using EventHandler = std::function<void(const DISPPARAMS& parameters)>;
using EventTable = std::map<DISPID, EventHandler>;

// The sinks advised on one source object, by the cookies its connection point gave.
class CEventConnections {
 public:
  CEventConnections() = default;
  CEventConnections(const CEventConnections&) = delete;
  CEventConnections& operator=(const CEventConnections&) = delete;
  // Whatever is still advised is unadvised: a source must not call into a sink that is gone.
  ~CEventConnections();

  // Finds `source`'s connection point for `events` and advises a sink with `table` on it.
  HRESULT Advise(IUnknown* source, const IID& events, EventTable table, std::uint32_t* cookie);
  // CONNECT_E_NOCONNECTION for a cookie this object did not hand out.
  HRESULT Unadvise(std::uint32_t cookie);

 private:
  std::map<std::uint32_t, TComPtr<IConnectionPoint>> m_points;
};

// The object argument `index` (counted in the event's own order) of an event with `count`
// arguments; null when it is missing or not an object.
IDispatch* EventObjectArgument(const DISPPARAMS& parameters, UINT index);
// The VT_BYREF|VT_BOOL argument `index`; null when it is missing or of another type.
VARIANT_BOOL* EventBoolReference(const DISPPARAMS& parameters, UINT index);
