#pragma once
#include <optional>
#include <string>

namespace platform {

// Existence tests follow a symbolic link in the last component: the user named the object.
bool directoryExists(const std::string& path);
// Only a regular file passes; a directory, FIFO, socket or device node does not.
bool fileExists(const std::string& path);

std::string currentDirectory();
bool setCurrentDirectory(const std::string& path);

// Creates a directory and its missing parents (mode 0700 for new ones).
bool makeDirectories(const std::string& path);

// The device number of the filesystem that holds path, if it can be read.
std::optional<unsigned long> deviceOf(const std::string& path);

// Finds an existing file or directory by matching every component after base without regard
// to ASCII letter case; relative is split at "/". Returns the path as it exists on disk.
std::optional<std::string> resolveIgnoringCase(const std::string& base, const std::string& relative);

} // namespace platform
