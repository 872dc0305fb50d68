#include "platform/read_only_file.h"

#include "platform/file_under_test.h"
#include "platform/read_fully_at.h"

#include <fcntl.h>

namespace platform {

ReadOnlyFile::Open ReadOnlyFile::open(const std::string& path)
{
    close();
    OpenedFile opened = openFileUnderTest(AT_FDCWD, path, OpenRules{.followLink = true});
    switch (opened.result) {
    case OpenResult::Opened: break;
    case OpenResult::Failed: return Open::Failed;
    case OpenResult::NotRegular: return Open::NotRegular;
    case OpenResult::HeldByWriter: return Open::HeldByWriter;
    }
    fd_ = std::move(opened.fd);
    size_ = opened.size;
    return Open::Opened;
}

std::int64_t ReadOnlyFile::readAt(std::int64_t offset, void* out, std::size_t count) const
{
    if (offset < 0)
        return -1;
    return readFullyAt(fd_.get(), offset, static_cast<char*>(out), count);
}

} // namespace platform
