#pragma once
#include <cstdint>
#include <string>

namespace testing_support {

// A fresh directory below $TMPDIR (or /tmp), removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    // Below base instead (/dev/shm: a medium faster than any disk), or as above when base is
    // no directory.
    explicit TempDir(const std::string& base);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

// Writes content to path, creating parent directories.
void writeFile(const std::string& path, const std::string& content);
// A file of the given size filled with a repeating pattern.
void writeFileOfSize(const std::string& path, std::int64_t size);
std::string readFile(const std::string& path);
void makeDir(const std::string& path);

} // namespace testing_support
