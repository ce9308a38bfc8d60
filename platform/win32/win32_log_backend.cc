#include "platform/win32/win32_log_backend.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/win32/win32_handles.h"

namespace {

constexpr int kInfoPriority = 400;

const char* PriorityName(LogPriority priority) {
  return priority == LogPriority::kError ? "ERROR" : "DEBUG";
}

std::string TimeStamp() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[32];
  std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u,%03u", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  return text;
}

std::string FormatLine(const std::string& pattern, std::string_view category, LogPriority priority,
                       std::string_view message) {
  std::string line;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%' || i + 1 == pattern.size()) {
      line.push_back(pattern[i]);
      continue;
    }
    switch (pattern[++i]) {
      case 'd':
        line += TimeStamp();
        break;
      case 'c':
        line += category;
        break;
      case 't':
        line += std::to_string(GetCurrentThreadId());
        break;
      case 'p':
        line += PriorityName(priority);
        break;
      case 'x':
        break;  // the nested diagnostic context, which nothing fills
      case 'm':
        line += message;
        break;
      case 'n':
        line += "\r\n";
        break;
      case '%':
        line.push_back('%');
        break;
      default:
        line.push_back('%');
        line.push_back(pattern[i]);
        break;
    }
  }
  return line;
}

HANDLE OpenLogFile(const std::string& path, bool append) {
  const HANDLE file =
      CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

}  // namespace

struct CWin32LogBackend::State {
  std::atomic<int> nRootPriority{kInfoPriority};
  std::mutex mutex;  // guards everything below, and every write
  LogFileSettings settings;
  CKernelHandle hFile;
  bool bConfigured = false;

  // Moves the file to "<file>.1" after shifting the older backups up by one.
  void RollOver() {
    hFile.Reset();
    const std::string& name = settings.strFileName;
    if (settings.nBackupCount > 0) {
      const auto backup = [&](unsigned n) { return name + "." + std::to_string(n); };
      DeleteFileA(backup(settings.nBackupCount).c_str());
      for (unsigned n = settings.nBackupCount; n > 1; --n) {
        MoveFileA(backup(n - 1).c_str(), backup(n).c_str());
      }
      MoveFileA(name.c_str(), backup(1).c_str());
    }
    hFile.Reset(OpenLogFile(name, true));
  }
};

CWin32LogBackend::CWin32LogBackend() : m_pState(std::make_unique<State>()) {}

CWin32LogBackend::~CWin32LogBackend() = default;

void CWin32LogBackend::ConfigureRootFile(const LogFileSettings& settings) {
  std::lock_guard<std::mutex> lock(m_pState->mutex);
  m_pState->settings = settings;
  m_pState->hFile.Reset(OpenLogFile(settings.strFileName, settings.bAppend));
  m_pState->bConfigured = true;
  m_pState->nRootPriority = static_cast<int>(settings.eRootPriority);
}

bool CWin32LogBackend::IsEnabled(std::string_view, LogPriority priority) {
  return static_cast<int>(priority) <= m_pState->nRootPriority.load();
}

void CWin32LogBackend::Write(std::string_view category, LogPriority priority,
                             std::string_view message) {
  if (!IsEnabled(category, priority)) {
    return;
  }
  State& state = *m_pState;
  std::lock_guard<std::mutex> lock(state.mutex);
  if (!state.bConfigured || !state.hFile) {
    return;  // no appender, or a file that could not be opened: the line goes nowhere
  }
  const std::string line = FormatLine(state.settings.strPattern, category, priority, message);
  DWORD written = 0;
  WriteFile(state.hFile.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  LARGE_INTEGER size{};
  if (GetFileSizeEx(state.hFile.Get(), &size) &&
      static_cast<unsigned long long>(size.QuadPart) >= state.settings.nMaxFileSize) {
    state.RollOver();
  }
}
