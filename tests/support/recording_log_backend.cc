#include "tests/support/recording_log_backend.h"

void CRecordingLogBackend::ConfigureRootFile(const LogFileSettings& settings) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_configurations.push_back(settings);
}

bool CRecordingLogBackend::IsEnabled(std::string_view, LogPriority) {
  return true;
}

void CRecordingLogBackend::Write(std::string_view category, LogPriority priority,
                                 std::string_view message) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_lines.push_back({std::string(category), priority, std::string(message)});
}

std::vector<LoggedLine> CRecordingLogBackend::Lines() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_lines;
}

int CRecordingLogBackend::Count(LogPriority priority, const std::string& fragment) {
  std::lock_guard<std::mutex> lock(m_mutex);
  int count = 0;
  for (const LoggedLine& line : m_lines) {
    if (line.ePriority == priority && line.strMessage.find(fragment) != std::string::npos) {
      ++count;
    }
  }
  return count;
}

std::vector<LogFileSettings> CRecordingLogBackend::Configurations() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_configurations;
}

void CRecordingLogBackend::Clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_lines.clear();
  m_configurations.clear();
}
