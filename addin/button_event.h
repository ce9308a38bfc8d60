// The click sink of one toolbar button: it passes every Click of its button to a callback
// together with the command id it was advised with, so one explorer object can tell its
// buttons apart.
#pragma once

#include <cstdint>
#include <memory>

#include "addin/event_sink.h"
#include "addin/module_state.h"
#include "platform/outlook_host.h"

// What a button's clicks reach: the owner of the toolbar.
class ICBButtonEventCallback {
 public:
  virtual ~ICBButtonEventCallback() = default;
  virtual void OnButtonClick(const std::shared_ptr<ICommandBarButton>& ctrl, bool* cancelDefault,
                             unsigned id) = 0;
};

// Always made with std::make_shared, and held by the explorer object that made it; it holds a
// module lock for as long as it lives.
class CCBButtonEvent final : public CEventSink<ICommandBarButtonEvents, ICommandBarButton, 1> {
 public:
  CCBButtonEvent() = default;

  // Keeps `id` and `callback` and advises the sink on `button`; when that succeeded, keeps
  // the button (replacing any earlier one). The callback is not owned. Throws
  // CHResultError(E_FAIL) when the sink is advised already.
  HRESULT Advise(std::shared_ptr<ICommandBarButton> button, ICBButtonEventCallback* callback,
                 unsigned id);
  // Unadvises the sink from the button and lets go of the button, then forgets the callback,
  // in that order, so that no click can reach a callback that is gone.
  void Release();

  // Click: calls the callback, if there still is one, with the command id.
  void OnClick(const std::shared_ptr<ICommandBarButton>& ctrl, bool* cancelDefault) override;

  const std::shared_ptr<ICommandBarButton>& Button() const { return m_spButton; }
  unsigned CommandId() const { return m_nCommandId; }

 private:
  CModuleLock m_moduleLock;
  std::shared_ptr<ICommandBarButton> m_spButton;
  ICBButtonEventCallback* m_pCallback = nullptr;
  unsigned m_nCommandId = 0;
};
