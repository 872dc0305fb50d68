#pragma once
#include <optional>
#include <string>

namespace platform {

// Existence tests follow a symbolic link in the last component: the user named the object.
bool directoryExists(const std::string& path);
// Only a regular file passes; a directory, FIFO, socket or device node does not.
bool fileExists(const std::string& path);

// Whether anything has that name, a symbolic link itself (also a dangling one) included:
// taken, or else the errno of the look-up (ENOENT when the name is free).
struct NameLookup {
    bool taken = false;
    int error = 0;
};
NameLookup lookUpName(const std::string& path);

std::string currentDirectory();
bool setCurrentDirectory(const std::string& path);

// For a window, the same within a bound: PathLooks (path_looks.h).

// Creates a directory and its missing parents (mode 0700 for new ones).
bool makeDirectories(const std::string& path);

// The directory can be opened and its entries read ("" is the root directory).
bool directoryListable(const std::string& path);

// What keeps a test from the object: 0 when it is a directory (or a regular file) that can be
// looked at and listed (opened), else the errno of the first step that failed (ENOTDIR, EISDIR
// for an object of the other kind).
int directoryProblem(const std::string& path);
int fileProblem(const std::string& path);
// The medium failed (EIO and the like), as against a name that does not exist or a
// permission that is not given: the object exists but cannot be read.
bool isMediumError(int error);

// How many file descriptors this process may have open.
int descriptorLimit();
// How many more it may open now: the limit less those open.
int descriptorsAvailable();

// Finds an existing file or directory by matching every component after base without regard
// to ASCII letter case; relative is split at "/". Returns the path as it exists on disk.
std::optional<std::string> resolveIgnoringCase(const std::string& base, const std::string& relative);

} // namespace platform
