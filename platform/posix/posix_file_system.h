// Folders on a POSIX system. The local application data folder follows the XDG base
// directories: $XDG_DATA_HOME, or ~/.local/share when that is unset. The fallback is a folder
// of the user's own in the system's temporary folder ($TMPDIR or /tmp): "Zenlet-<uid>", made
// with mode 0700, and refused (empty) when that name is taken by anything but such a folder
// of this user's (a link, a file, a folder of another user or open to others).
#pragma once

#include <string>

#include "platform/file_system.h"

class CPosixFileSystem : public IFileSystem {
 public:
  std::wstring LocalAppDataFolder() override;
  std::wstring FallbackFolder() override;
  wchar_t Separator() const override { return L'/'; }
  bool Exists(const std::wstring& path) override;
  bool CreateFolder(const std::wstring& path) override;
};

// The folder of the user's settings: $XDG_CONFIG_HOME/Morvane/Zenlet, or
// ~/.config/Morvane/Zenlet when that is unset or relative. Empty when no home folder is known.
std::string UserSettingsFolder();
