#include "platform/iso_image.h"

#include <cdio/iso9660.h>
#include <cdio/logging.h>

#include <memory>
#include <unordered_set>
#include <vector>

namespace platform {

namespace {

struct IsoCloser {
    void operator()(iso9660_t* iso) const { iso9660_close(iso); }
};

// Deep trees are walked from a list, not by recursion, and a directory that points back at
// one above it cannot loop (each directory's sector is entered once).
void walk(iso9660_t* iso, const std::function<void(const std::string&, std::int64_t, std::int64_t)>& visit)
{
    std::vector<std::string> pending{"/"};
    std::unordered_set<lsn_t> entered;
    while (!pending.empty()) {
        std::string dir = pending.back();
        pending.pop_back();
        CdioISO9660FileList_t* list = iso9660_ifs_readdir(iso, dir.c_str());
        if (list == nullptr)
            continue;
        for (CdioListNode_t* node = _cdio_list_begin(list); node != nullptr; node = _cdio_list_node_next(node)) {
            auto* st = static_cast<iso9660_stat_t*>(_cdio_list_node_data(node));
            std::string name = st->filename;
            if (name == "." || name == "..")
                continue;
            std::string path = dir + name;
            if (st->type == iso9660_stat_s::_STAT_DIR) {
                if (entered.insert(st->lsn).second)
                    pending.push_back(path + "/");
            }
            // A file takes whole sectors on the medium; the rest of its last one is its own.
            std::int64_t length =
                (static_cast<std::int64_t>(st->size) + ISO_BLOCKSIZE - 1) / ISO_BLOCKSIZE * ISO_BLOCKSIZE;
            visit(path, static_cast<std::int64_t>(st->lsn) * ISO_BLOCKSIZE, length);
        }
        iso9660_filelist_free(list);
    }
}

// libcdio writes its warnings to standard output, where they would break the summary or
// the JSON document; a medium that holds no ISO 9660 filesystem is no news.
void quiet(cdio_log_level_t, const char*) {}

} // namespace

bool forEachIsoFile(const std::string& path,
                    const std::function<void(const std::string& file, std::int64_t start, std::int64_t length)>& visit)
{
    cdio_log_set_handler(quiet);
    std::unique_ptr<iso9660_t, IsoCloser> iso(iso9660_open_ext(path.c_str(), ISO_EXTENSION_ALL));
    if (!iso)
        return false;
    walk(iso.get(), visit);
    return true;
}

} // namespace platform
