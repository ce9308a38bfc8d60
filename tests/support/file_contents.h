// What tests look at in files they cannot reach through a seam.
#pragma once

#include <string>
#include <vector>

// The whole file as bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// The permission bits (07777) of `path`, or 0xFFFF when it does not exist.
unsigned FileMode(const std::string& path);

// The paths of the entries of `folder` whose names start with `prefix`, sorted; empty when
// the folder cannot be read.
std::vector<std::string> EntriesStartingWith(const std::string& folder, const std::string& prefix);
