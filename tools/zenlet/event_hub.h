// Where the driver's events go: every subscriber (the batch writer, each page that listens)
// receives each event once, in the order published. A subscriber that joins late first gets
// the picture as it stands: the ready event, the open explorers, each one's last toolbar,
// the busy cursor and the message boxes still open, so a page opened or reloaded at any time
// draws what a page open from the start shows.
//
// Threading: every operation may be called from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

class CEventHub {
 public:
  // One subscriber's queue of serialised events (one JSON object each, no line end).
  class CSubscription {
   public:
    // The next event, waiting at most `timeout`. Nothing on a time-out, and also once the hub
    // is closed and every event before the close was taken; Ended() tells the two apart.
    std::optional<std::string> Next(std::chrono::milliseconds timeout);
    bool Ended() const;

   private:
    friend class CEventHub;
    void Notify();

    std::function<void()> m_onQueued;  // set before the subscription is shared
    mutable std::mutex m_mutex;
    std::condition_variable m_signal;
    std::deque<std::string> m_aQueue;
    bool m_bEnded = false;
  };

  // A subscriber that falls this far behind is dropped (its stream ends).
  static constexpr std::size_t kLongestQueue = 20000;

  // Serialises `event` (its "event" member names it), folds it into the picture and hands it
  // to every subscriber. Text that is not valid UTF-8 is replaced, never thrown on.
  void Publish(const nlohmann::ordered_json& event);

  // A new subscriber, whose queue starts with the picture as it stands. `onQueued`, when
  // given, is called on the publishing thread whenever the queue gains an event or the
  // subscription ends, for a reader that cannot wait in Next; it must neither block nor call
  // the hub.
  std::shared_ptr<CSubscription> Subscribe(std::function<void()> onQueued = nullptr);
  void Unsubscribe(const std::shared_ptr<CSubscription>& subscription);

  // Ends every stream once its events are taken; later publications go nowhere.
  void Close();

  static std::string Serialise(const nlohmann::ordered_json& event);

 private:
  void Fold(const nlohmann::ordered_json& event, const std::string& text);
  std::vector<std::string> Picture() const;

  mutable std::mutex m_mutex;
  bool m_bClosed = false;
  std::vector<std::shared_ptr<CSubscription>> m_aSubscribers;

  // The picture.
  std::string m_strReady;
  std::string m_strExplorers;
  std::map<int, std::string> m_toolbars;  // by explorer number
  std::string m_strCursor;
  std::vector<std::pair<int, std::string>> m_aOpenBoxes;  // by box number, oldest first
};
