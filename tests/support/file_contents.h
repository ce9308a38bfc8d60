// What tests look at in files they cannot reach through a seam.
#pragma once

#include <string>

// The whole file as bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// The permission bits (07777) of `path`, or 0xFFFF when it does not exist.
unsigned FileMode(const std::string& path);
