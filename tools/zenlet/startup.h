// Start-up pieces of the zenlet program that act on the machine before Outlook runs.
#pragma once

#include <string>

// Makes `folder` (and its parents, mode 0700) and proves it can be written by creating and
// removing a file in it. Fills `absolute` with its absolute path, or `error` with why not.
bool PrepareDataDir(const std::string& folder, std::string* absolute, std::string* error);

// Points the Linux adapters' folders at `folder`: the settings store and its key, and the
// log, all below it. Call before the adapters are made.
void UseDataDir(const std::string& absoluteFolder);
