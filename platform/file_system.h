// File-system seam: the few folder operations the diagnostic log needs.
//
// Paths are wide strings in the platform's own form. Threading: safe from any thread.
// Errors: reported by results; nothing throws except std::bad_alloc.
#pragma once

#include <string>

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;

  // The user's local application data folder (created if the platform creates it on
  // demand); empty when there is none.
  virtual std::wstring LocalAppDataFolder() = 0;
  // The base to use when there is no application data folder, with a trailing separator;
  // empty when no such folder can be had safely (the log then has no file).
  virtual std::wstring FallbackFolder() = 0;
  // The platform's folder separator. Windows also accepts '/', which callers honour.
  virtual wchar_t Separator() const = 0;

  virtual bool Exists(const std::wstring& path) = 0;
  // Creates one folder whose parent exists. false if it exists already or cannot be made.
  virtual bool CreateFolder(const std::wstring& path) = 0;
};
