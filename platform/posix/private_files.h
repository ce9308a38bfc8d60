// Files only their user may read: the settings store and the data-protection key.
#pragma once

#include <string>

// Makes `folder` and every missing parent; the folders made here get mode 0700. True when
// the folder exists afterwards.
bool EnsurePrivateFolder(const std::string& folder);

// Renames `from` to `to` unless `to` exists (errno EEXIST then); never replaces a file.
bool RenameWithoutReplacing(const std::string& from, const std::string& to);

// Flushes the folder holding `path`, so that a rename or creation in it survives a power cut.
void SyncParentFolder(const std::string& path);

// The folder part of `path` ("." for a bare name).
std::string ParentFolder(const std::string& path);
