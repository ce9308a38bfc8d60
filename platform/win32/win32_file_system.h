// Folders on Win32: the shell's CSIDL_LOCAL_APPDATA folder (created on demand), "c:\" when the
// shell has none, and the kernel's file attributes and directory creation.
#pragma once

#include "platform/file_system.h"

class CWin32FileSystem : public IFileSystem {
 public:
  std::wstring LocalAppDataFolder() override;
  std::wstring FallbackFolder() override;
  wchar_t Separator() const override { return L'\\'; }
  bool Exists(const std::wstring& path) override;
  bool CreateFolder(const std::wstring& path) override;
};
