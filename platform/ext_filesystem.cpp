#include "platform/ext_filesystem.h"

#include <ext2fs/ext2fs.h>

#include <algorithm>

namespace platform {

struct ExtFilesystem::Impl {
    ext2_filsys fs = nullptr;
    ~Impl()
    {
        if (fs != nullptr)
            ext2fs_close_free(&fs);
    }
};

ExtFilesystem::ExtFilesystem(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ExtFilesystem::~ExtFilesystem() = default;

std::unique_ptr<ExtFilesystem> ExtFilesystem::open(const std::string& path)
{
    auto impl = std::make_unique<Impl>();
    // No write flag: libext2fs opens the device read-only and never writes it.
    int flags = EXT2_FLAG_64BITS | EXT2_FLAG_IGNORE_CSUM_ERRORS;
    if (ext2fs_open(path.c_str(), flags, 0, 0, unix_io_manager, &impl->fs) != 0) {
        impl->fs = nullptr;
        return nullptr;
    }
    if (ext2fs_read_block_bitmap(impl->fs) != 0)
        return nullptr;
    return std::unique_ptr<ExtFilesystem>(new ExtFilesystem(std::move(impl)));
}

std::int64_t ExtFilesystem::size() const
{
    return static_cast<std::int64_t>(ext2fs_blocks_count(impl_->fs->super)) * impl_->fs->blocksize;
}

std::vector<std::pair<std::pair<std::int64_t, std::int64_t>, bool>> ExtFilesystem::usage(std::int64_t start,
                                                                                         std::int64_t end) const
{
    std::vector<std::pair<std::pair<std::int64_t, std::int64_t>, bool>> out;
    const std::int64_t block = impl_->fs->blocksize;
    end = std::min(end, size());
    for (std::int64_t at = start; at < end;) {
        blk64_t b = static_cast<blk64_t>(at / block);
        bool used =
            b < ext2fs_blocks_count(impl_->fs->super) && ext2fs_test_block_bitmap2(impl_->fs->block_map, b) != 0;
        std::int64_t next = std::min(end, (at / block + 1) * block);
        if (!out.empty() && out.back().second == used)
            out.back().first.second = next;
        else
            out.push_back({{at, next}, used});
        at = next;
    }
    return out;
}

} // namespace platform
