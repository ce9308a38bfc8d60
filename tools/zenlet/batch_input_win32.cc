#include <windows.h>
// After windows.h, whose types it needs.
#include <io.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "tools/zenlet/batch_input.h"

namespace {

// Windows cannot wait on a pipe with a time-out, and Wine cannot look into one it was handed
// by a Unix program: a reader thread of its own blocks in ReadFile and hands over what came.
// It is never joined; a read still pending when the program ends ends with the process.
class CInputReader {
 public:
  explicit CInputReader(int fd) {
    const auto input = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    std::thread([this, input] { Read(input); }).detach();
  }

  BatchInput Wait(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return !m_strPending.empty() || m_bEnded; })
               ? BatchInput::kReady
               : BatchInput::kNothingYet;
  }

  long Take(char* buffer, std::size_t size) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_arrived.wait(lock, [this] { return !m_strPending.empty() || m_bEnded; });
    const std::size_t count = std::min(size, m_strPending.size());
    std::memcpy(buffer, m_strPending.data(), count);
    m_strPending.erase(0, count);
    return static_cast<long>(count);
  }

 private:
  void Read(HANDLE input) {
    char buffer[4096];
    DWORD count = 0;
    while (ReadFile(input, buffer, sizeof buffer, &count, nullptr) && count > 0) {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_strPending.append(buffer, count);
      m_arrived.notify_all();
    }
    // A broken pipe is the end of the input, as is any other failure.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bEnded = true;
    m_arrived.notify_all();
  }

  std::mutex m_mutex;
  std::condition_variable m_arrived;
  std::string m_strPending;
  bool m_bEnded = false;
};

// The reader of the one input a program reads, made at its first use and kept for the life
// of the process (its thread may outlive every other object).
CInputReader& ReaderOf(int fd) {
  static CInputReader* reader = new CInputReader(fd);
  return *reader;
}

}  // namespace

BatchInput WaitForBatchInput(int fd, int timeoutMs) {
  return ReaderOf(fd).Wait(timeoutMs);
}

long ReadBatchInput(int fd, char* buffer, std::size_t size) {
  return ReaderOf(fd).Take(buffer, size);
}
