#include "platform/log4cpp/log4cpp_backend.h"

#include <log4cpp/Category.hh>
#include <log4cpp/PatternLayout.hh>
#include <log4cpp/Priority.hh>
#include <log4cpp/RollingFileAppender.hh>

namespace {

log4cpp::Priority::Value ToLog4cpp(LogPriority priority) {
  return priority == LogPriority::kError ? log4cpp::Priority::ERROR : log4cpp::Priority::DEBUG;
}

log4cpp::Category& CategoryNamed(std::string_view name) {
  return name.empty() ? log4cpp::Category::getRoot()
                      : log4cpp::Category::getInstance(std::string(name));
}

}  // namespace

void CLog4cppBackend::ConfigureRootFile(const LogFileSettings& settings) {
  auto* layout = new log4cpp::PatternLayout();
  layout->setConversionPattern(settings.strPattern);
  auto* appender = new log4cpp::RollingFileAppender(
      settings.strAppenderName, settings.strFileName, settings.nMaxFileSize,
      settings.nBackupCount, settings.bAppend, static_cast<mode_t>(settings.nFileMode));
  appender->setLayout(layout);  // the appender owns the layout

  log4cpp::Category& root = log4cpp::Category::getRoot();
  root.removeAllAppenders();
  root.addAppender(appender);  // the category owns the appender
  root.setPriority(ToLog4cpp(settings.eRootPriority));
}

bool CLog4cppBackend::IsEnabled(std::string_view category, LogPriority priority) {
  return CategoryNamed(category).isPriorityEnabled(ToLog4cpp(priority));
}

void CLog4cppBackend::Write(std::string_view category, LogPriority priority,
                            std::string_view message) {
  CategoryNamed(category).log(ToLog4cpp(priority), std::string(message));
}
