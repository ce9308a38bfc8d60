// The batch transport: commands as JSON Lines on a file descriptor (standard input), events
// as JSON Lines on a stream (standard output), one object a line, written and flushed as
// they happen. Blank lines are skipped; a line longer than kLongestLine is refused whole.
//
// Threading: the reader and the writer run on threads of their own; Stop ends both.
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "tools/zenlet/event_hub.h"

class CBatchTransport {
 public:
  // Each command line goes to `submit`; the end of the input, or output that can no longer be
  // written, to `inputEnded` (once each), and a line too long to `refuse` with the reason.
  struct Handlers {
    std::function<void(std::string_view)> submit;
    std::function<void()> inputEnded;
    std::function<void(const std::string&)> refuse;
  };

  static constexpr std::size_t kLongestLine = 1 << 20;

  CBatchTransport(int inputFd, std::FILE* output, CEventHub& hub, Handlers handlers);
  ~CBatchTransport();
  CBatchTransport(const CBatchTransport&) = delete;
  CBatchTransport& operator=(const CBatchTransport&) = delete;

  void Start();
  // Call once the hub is closed: writes every event published before, then ends both
  // threads. The reader stops reading at once.
  void Stop();
  // The output could not be written (the reader of the events went away).
  bool OutputFailed() const { return m_bOutputFailed; }

 private:
  void ReadLoop();
  void WriteLoop();

  const int m_nInput;
  std::FILE* const m_pOutput;
  Handlers m_handlers;
  std::shared_ptr<CEventHub::CSubscription> m_spEvents;
  std::atomic<bool> m_bStopping{false};
  std::atomic<bool> m_bOutputFailed{false};
  std::thread m_reader;
  std::thread m_writer;
};
