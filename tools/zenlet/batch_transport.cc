#include "tools/zenlet/batch_transport.h"

#include <chrono>

#include "tools/zenlet/batch_input.h"

CBatchTransport::CBatchTransport(int inputFd, std::FILE* output, CEventHub& hub, Handlers handlers)
    : m_nInput(inputFd),
      m_pOutput(output),
      m_handlers(std::move(handlers)),
      // Subscribed at once, so that no event published before Start is missed.
      m_spEvents(hub.Subscribe()) {}

CBatchTransport::~CBatchTransport() {
  Stop();
}

void CBatchTransport::Start() {
  m_writer = std::thread([this] { WriteLoop(); });
  m_reader = std::thread([this] { ReadLoop(); });
}

void CBatchTransport::Stop() {
  m_bStopping = true;
  if (m_reader.joinable()) {
    m_reader.join();
  }
  if (m_writer.joinable()) {
    m_writer.join();
  }
}

void CBatchTransport::ReadLoop() {
  std::string line;
  bool bTooLong = false;
  char buffer[4096];
  while (!m_bStopping) {
    // Waited for a while at a time, so that Stop is seen while no input comes.
    if (WaitForBatchInput(m_nInput, 100) == BatchInput::kNothingYet) {
      continue;
    }
    const long count = ReadBatchInput(m_nInput, buffer, sizeof buffer);
    if (count < 0) {
      continue;
    }
    if (count == 0) {
      if (!line.empty() && !bTooLong) {
        m_handlers.submit(line);
      }
      m_handlers.inputEnded();
      return;
    }
    for (long i = 0; i < count; ++i) {
      const char c = buffer[i];
      if (c != '\n') {
        if (line.size() < kLongestLine) {
          line.push_back(c);
        } else {
          bTooLong = true;
        }
        continue;
      }
      if (bTooLong) {
        m_handlers.refuse("a command line is longer than " + std::to_string(kLongestLine) +
                          " bytes");
      } else if (line.find_first_not_of(" \t\r") != std::string::npos) {
        m_handlers.submit(line);
      }
      line.clear();
      bTooLong = false;
    }
  }
}

void CBatchTransport::WriteLoop() {
  for (;;) {
    const std::optional<std::string> event = m_spEvents->Next(std::chrono::milliseconds(100));
    if (!event) {
      if (m_spEvents->Ended()) {
        return;
      }
      continue;
    }
    if (m_bOutputFailed) {
      continue;
    }
    if (std::fputs(event->c_str(), m_pOutput) < 0 || std::fputc('\n', m_pOutput) < 0 ||
        std::fflush(m_pOutput) != 0) {
      // Nobody reads the events any more: the script has gone, as when its input ends.
      m_bOutputFailed = true;
      m_handlers.inputEnded();
    }
  }
}
