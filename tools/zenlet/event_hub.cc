#include "tools/zenlet/event_hub.h"

#include <algorithm>

std::optional<std::string> CEventHub::CSubscription::Next(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_signal.wait_for(lock, timeout, [this] { return !m_aQueue.empty() || m_bEnded; });
  if (m_aQueue.empty()) {
    return std::nullopt;
  }
  std::string event = std::move(m_aQueue.front());
  m_aQueue.pop_front();
  return event;
}

void CEventHub::CSubscription::Notify() {
  m_signal.notify_all();
  if (m_onQueued) {
    m_onQueued();
  }
}

bool CEventHub::CSubscription::Ended() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_bEnded && m_aQueue.empty();
}

std::string CEventHub::Serialise(const nlohmann::ordered_json& event) {
  return event.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void CEventHub::Publish(const nlohmann::ordered_json& event) {
  const std::string text = Serialise(event);
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_bClosed) {
    return;
  }
  Fold(event, text);
  for (auto it = m_aSubscribers.begin(); it != m_aSubscribers.end();) {
    CSubscription& subscriber = **it;
    bool bDrop = false;
    {
      std::lock_guard<std::mutex> queueLock(subscriber.m_mutex);
      if (subscriber.m_aQueue.size() >= kLongestQueue) {
        subscriber.m_bEnded = true;
        bDrop = true;
      } else {
        subscriber.m_aQueue.push_back(text);
      }
    }
    subscriber.Notify();
    it = bDrop ? m_aSubscribers.erase(it) : it + 1;
  }
}

void CEventHub::Fold(const nlohmann::ordered_json& event, const std::string& text) {
  const std::string name = event.value("event", "");
  if (name == "ready") {
    m_strReady = text;
  } else if (name == "explorers") {
    m_strExplorers = text;
    // Toolbars of windows that closed are no longer part of the picture.
    const nlohmann::ordered_json& open = event.at("open");
    for (auto it = m_toolbars.begin(); it != m_toolbars.end();) {
      const bool bOpen = std::find(open.begin(), open.end(), it->first) != open.end();
      it = bOpen ? std::next(it) : m_toolbars.erase(it);
    }
  } else if (name == "toolbar") {
    m_toolbars[event.at("explorer").get<int>()] = text;
  } else if (name == "cursor") {
    m_strCursor = event.at("busy").get<bool>() ? text : std::string();
  } else if (name == "message_box") {
    m_aOpenBoxes.emplace_back(event.at("box").get<int>(), text);
  } else if (name == "message_box_closed") {
    const int box = event.at("box").get<int>();
    m_aOpenBoxes.erase(std::remove_if(m_aOpenBoxes.begin(), m_aOpenBoxes.end(),
                                      [box](const auto& open) { return open.first == box; }),
                       m_aOpenBoxes.end());
  }
}

std::vector<std::string> CEventHub::Picture() const {
  std::vector<std::string> picture;
  for (const std::string* text : {&m_strReady, &m_strExplorers}) {
    if (!text->empty()) {
      picture.push_back(*text);
    }
  }
  for (const auto& toolbar : m_toolbars) {
    picture.push_back(toolbar.second);
  }
  if (!m_strCursor.empty()) {
    picture.push_back(m_strCursor);
  }
  for (const auto& box : m_aOpenBoxes) {
    picture.push_back(box.second);
  }
  return picture;
}

std::shared_ptr<CEventHub::CSubscription> CEventHub::Subscribe(std::function<void()> onQueued) {
  auto subscription = std::make_shared<CSubscription>();
  subscription->m_onQueued = std::move(onQueued);
  std::lock_guard<std::mutex> lock(m_mutex);
  for (std::string& text : Picture()) {
    subscription->m_aQueue.push_back(std::move(text));
  }
  if (m_bClosed) {
    subscription->m_bEnded = true;
  } else {
    m_aSubscribers.push_back(subscription);
  }
  return subscription;
}

void CEventHub::Unsubscribe(const std::shared_ptr<CSubscription>& subscription) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_aSubscribers.erase(std::remove(m_aSubscribers.begin(), m_aSubscribers.end(), subscription),
                       m_aSubscribers.end());
}

void CEventHub::Close() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_bClosed = true;
  for (const auto& subscriber : m_aSubscribers) {
    {
      std::lock_guard<std::mutex> queueLock(subscriber->m_mutex);
      subscriber->m_bEnded = true;
    }
    subscriber->Notify();
  }
  m_aSubscribers.clear();
}
