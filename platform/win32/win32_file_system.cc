#include "platform/win32/win32_file_system.h"

#include <windows.h>
// After windows.h, whose types it needs.
#include <shlobj.h>

std::wstring CWin32FileSystem::LocalAppDataFolder() {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                              SHGFP_TYPE_CURRENT, folder))) {
    return {};
  }
  return folder;
}

std::wstring CWin32FileSystem::FallbackFolder() {
  return L"c:\\";
}

bool CWin32FileSystem::Exists(const std::wstring& path) {
  return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CWin32FileSystem::CreateFolder(const std::wstring& path) {
  return !path.empty() && CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}
