#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

enum class ReadPattern {
    WholeFile,  // read sequentially from start to end
    FirstBytes, // read a few bytes at the start only
};

enum class OpenResult { Opened, Failed, HeldByWriter, NotRegular };

// A file opened to test that its data can be read from the medium. The open refuses what a
// test must not touch (symbolic links unless asked to follow one, FIFOs, sockets, devices)
// and files another process holds open for writing. Before reading, the file's dirty pages
// are written back and its cached pages dropped, so the data comes from the medium and not
// from memory; they are dropped again when the file is closed, so a test does not flood the
// page cache. Move-only; the destructor closes the file.
class ReadFile {
public:
    ReadFile() = default;
    ~ReadFile() { close(); }
    ReadFile(ReadFile&& other) noexcept;
    ReadFile& operator=(ReadFile&& other) noexcept;
    ReadFile(const ReadFile&) = delete;
    ReadFile& operator=(const ReadFile&) = delete;

    OpenResult open(const std::string& path, ReadPattern pattern, bool followLink = false);
    // name relative to the directory open as dirfd.
    OpenResult openAt(int dirfd, const std::string& name, ReadPattern pattern, bool followLink = false);
    bool isOpen() const { return fd_ >= 0; }

    // Reads up to count bytes, retrying partial reads, until count bytes arrived or the file
    // ended. Returns the bytes read, or -1 when the read failed (errno tells why).
    std::int64_t read(void* buffer, std::size_t count);
    void close();

private:
    int fd_ = -1;
};

} // namespace platform
