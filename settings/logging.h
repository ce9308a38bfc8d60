// The diagnostic log file: one rolling file in the user's local application data folder, which
// every category of common/logger.h writes to once it is set up. Every line reads
// "<date> [<category>] [<thread>] <priority> <category> <context> - <message>".
#pragma once

#include <string>

#include "common/logger.h"

class IFileSystem;
class IRegistry;

// Configures the log file and the root category, then reads the "DebugLog" switch, so that
// anything the first read of the settings store finds is written to the file. Runs on the
// main thread before any worker exists; a second call replaces the first configuration, so
// no line is written twice. Folders that cannot be made leave the log without a file;
// nothing is reported.
void SetUpLogging();
// The same with explicit collaborators (a null registry reads no "DebugLog"). Returns the
// log file's path, empty when there is no folder for it.
std::wstring SetUpLogging(IFileSystem& files, IRegistry* registry, ILogBackend& backend);

// The "DebugLog" switch read at the last set-up (missing or unreadable counts as off). The
// log is written at DEBUG whatever it says.
bool IsDebugLogSwitchOn();

// <local application data>/Morvane/Zenlet, or the platform's fallback folder alone (empty
// when there is none).
std::wstring GetDataFolder(IFileSystem& files);
// GetDataFolder + "Logs" + separator, created level by level if missing; empty, and nothing
// made, without a data folder.
std::wstring GetLogFolder(IFileSystem& files);
// Creates every missing folder of `path`, whose last component is a file name or empty.
// Failures are ignored.
void EnsureFolderExists(IFileSystem& files, const std::wstring& path);
