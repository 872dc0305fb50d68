#include "platform/mount_table.h"

#include <memory>

namespace platform {

namespace {

struct TableDeleter {
    void operator()(libmnt_table* t) const { mnt_unref_table(t); }
};
struct IterDeleter {
    void operator()(libmnt_iter* i) const { mnt_free_iter(i); }
};

} // namespace

bool forEachMount(const std::string& mountinfo, const std::function<void(libmnt_fs* fs)>& each)
{
    std::unique_ptr<libmnt_table, TableDeleter> table(mnt_new_table());
    if (!table || mnt_table_parse_file(table.get(), mountinfo.c_str()) != 0)
        return false;
    std::unique_ptr<libmnt_iter, IterDeleter> iter(mnt_new_iter(MNT_ITER_FORWARD));
    if (!iter)
        return false;
    libmnt_fs* fs = nullptr;
    while (mnt_table_next_fs(table.get(), iter.get(), &fs) == 0)
        each(fs);
    return true;
}

} // namespace platform
