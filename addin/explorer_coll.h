// The explorer collection: follows Outlook's explorer windows and keeps one explorer object
// per window it attached to, from the window's arrival until its Close.
//
// At start-up it attaches to the active explorer, or when there is none to at most the first
// five; later windows arrive through NewExplorer, and when the add-in is switched on again
// every open window is attached. Objects leave the list through their own Close, or when
// the application object lets go of their windows (RemoveExplorer).
//
// Threading: Outlook's main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "addin/addin_services.h"
#include "addin/event_sink.h"
#include "common/hresult.h"
#include "common/logger.h"
#include "platform/outlook_host.h"

namespace morvane {

class CFBOutlookExplorer;

class CMVOutlookExplorerCollBase : public CEventSink<IExplorersEvents, IOutlookExplorers, 1> {
 public:
  // `log` is the "tec" category.
  explicit CMVOutlookExplorerCollBase(CLogger& log) : m_log(log) {}
  ~CMVOutlookExplorerCollBase() override;

  // Attaches to `application`'s explorers once (a second call does nothing): advises the
  // NewExplorer sink and makes an object for the active explorer, or else for explorers 1 to
  // 5. E_FAIL when the application gives no Explorers collection.
  HRESULT Init(const std::shared_ptr<IOutlookApplication>& application);
  // Makes an object for every open explorer that has none yet.
  void AttachToEveryExplorer();
  // Unadvises the NewExplorer sink and lets go of the Explorers collection.
  void Detach();

  // NewExplorer, and each explorer found at start-up: makes and keeps an object for it.
  void OnNewExplorer(const std::shared_ptr<IOutlookExplorer>& explorer) override = 0;

  // Whether an object of the list already serves `explorer`'s window: after a disconnection
  // the objects stay with their windows, and a reconnection finds those windows again.
  bool IsAttached(const std::shared_ptr<IOutlookExplorer>& explorer);

  // Takes `object` out of the list and drops the list's reference; an object that is not in
  // the list is only logged.
  void RemoveExplorer(CFBOutlookExplorer* object);

  std::shared_ptr<IOutlookExplorers> m_spExplorers;
  std::vector<std::shared_ptr<CFBOutlookExplorer>> m_list;  // in order of arrival

 protected:
  CLogger& m_log;
};

// Makes its objects as T, which the add-in instantiates with T = CFBOutlookExplorer.
template <class T>
class CMVOutlookExplorerColl final : public CMVOutlookExplorerCollBase {
 public:
  explicit CMVOutlookExplorerColl(const ExplorerServices& services)
      : CMVOutlookExplorerCollBase(services.log), m_services(services) {}

  void OnNewExplorer(const std::shared_ptr<IOutlookExplorer>& explorer) override {
    m_log.debug("one: %p %p", static_cast<const void*>(m_spExplorers.get()),
                static_cast<const void*>(explorer.get()));
    if (!explorer) {
      return;
    }
    if (IsAttached(explorer)) {
      // A second object would add a second set of controls to the window's bar and answer
      // every click twice.
      m_log.debug("one: already attached");
      return;
    }
    auto object = std::make_shared<T>(m_services);
    // The object stays even when its toolbar could not be built: an activation retries.
    object->Init(explorer, this);
    m_list.push_back(std::move(object));
  }

 private:
  ExplorerServices m_services;
};

}  // namespace morvane
