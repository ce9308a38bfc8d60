// Event sinks: how the add-in's objects receive Outlook's and Office's events. A sink is one
// event interface of platform/outlook_host.h implemented for its owner, with a control id
// (1, 2 or 3) that tells apart several sinks of one interface on the same owner, and the
// cookie of its one connection.
//
// The cookie rule: kNotAdvised (0xFEFEFEFE) means the sink is not advised. Advising a sink
// that is advised already is a programming error and throws CHResultError(E_FAIL); the
// add-in's lifecycle never does it. A sink never dies advised: its destructor unadvises it,
// because the source does not own its sinks and would otherwise call into freed memory.
//
// Which DISPID reaches which handler is the Windows adapter's business (it turns Invoke into
// the typed calls); here every event arrives as its typed call.
//
// Threading: Outlook's main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "common/hresult.h"
#include "platform/outlook_host.h"

template <class TEvents, class TSource, std::uint32_t nControlId>
class CEventSink : public TEvents {
 public:
  static constexpr std::uint32_t kControlId = nControlId;

  CEventSink() = default;
  CEventSink(const CEventSink&) = delete;
  CEventSink& operator=(const CEventSink&) = delete;
  ~CEventSink() override { UnadviseSink(); }

  // Connects this sink to `source` and keeps the cookie and the source. Throws
  // CHResultError(E_FAIL) when the sink is advised already; a failed advise leaves it not
  // advised and returns the failure.
  HRESULT AdviseSink(std::shared_ptr<TSource> source) {
    if (m_dwCookie != kNotAdvised) {
      ThrowHResult(E_FAIL);
    }
    if (!source) {
      return E_POINTER;
    }
    std::uint32_t cookie = kNotAdvised;
    const HRESULT hr = source->Advise(this, &cookie);
    if (FAILED(hr)) {
      return hr;
    }
    m_dwCookie = cookie;
    m_spSource = std::move(source);
    return hr;
  }

  // Disconnects the sink from its source; the cookie goes back to kNotAdvised. S_OK when it
  // was not advised. The sink is marked not advised before the source is called, so a
  // handler that runs meanwhile finds it so.
  HRESULT UnadviseSink() {
    if (m_dwCookie == kNotAdvised) {
      return S_OK;
    }
    const std::uint32_t cookie = m_dwCookie;
    std::shared_ptr<TSource> source = std::move(m_spSource);
    m_dwCookie = kNotAdvised;
    return source->Unadvise(cookie);
  }

  std::uint32_t SinkCookie() const { return m_dwCookie; }
  bool IsSinkAdvised() const { return m_dwCookie != kNotAdvised; }

 private:
  std::uint32_t m_dwCookie = kNotAdvised;
  std::shared_ptr<TSource> m_spSource;  // held only while advised
};

// A _CommandBarComboBoxEvents sink that hands each Change to one handler of its owner, so an
// owner can listen to several combo boxes, one sink (and control id) each.
template <class TOwner, std::uint32_t nControlId>
class CComboBoxEventSink final
    : public CEventSink<ICommandBarComboBoxEvents, ICommandBarComboBox, nControlId> {
 public:
  using Handler = void (TOwner::*)(const std::shared_ptr<ICommandBarComboBox>& comboBox);

  CComboBoxEventSink(TOwner& owner, Handler onChange) : m_owner(owner), m_pfnOnChange(onChange) {}

  void OnChange(const std::shared_ptr<ICommandBarComboBox>& comboBox) override {
    (m_owner.*m_pfnOnChange)(comboBox);
  }

 private:
  TOwner& m_owner;
  Handler m_pfnOnChange;
};
