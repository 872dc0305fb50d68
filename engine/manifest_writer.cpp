#include "engine/manifest_writer.h"

#include "platform/save_file.h"

#include <cerrno>
#include <vector>

namespace engine {

ManifestWriter::ManifestWriter(HashAlgorithm algorithm) : algorithm_(algorithm), spool_(platform::SpoolFile::create())
{
    if (!spool_.isOpen())
        spoolError_ = errno != 0 ? errno : EIO;
}

void ManifestWriter::add(const std::string& key, const Digests& digests)
{
    if (spoolError_ != 0)
        return;
    if (!spool_.append(manifestLine(toHex(digests[algorithm_]), key)))
        spoolError_ = errno != 0 ? errno : EIO;
    ++entries_;
}

int ManifestWriter::save(const std::string& path) const
{
    int error = writeTo(path);
    if (error == 0)
        savedAs(path);
    return error;
}

int ManifestWriter::writeTo(const std::string& path) const
{
    if (spoolError_ != 0)
        return spoolError_;
    auto file = platform::SavedFile::begin(path, 0666);
    if (!file.isOpen())
        return file.error();
    std::vector<char> block(1 << 16);
    for (std::int64_t at = 0; at < spool_.size();) {
        std::int64_t got = spool_.readAt(at, block.data(), block.size());
        if (got <= 0)
            return got < 0 ? errno : EIO;
        if (!file.write(std::string_view(block.data(), static_cast<std::size_t>(got))))
            return file.error();
        at += got;
    }
    if (!file.commit())
        return file.error();
    return 0;
}

std::string manifestLine(const std::string& hex, const std::string& name)
{
    if (name.find_first_of("\\\n\r") == std::string::npos)
        return hex + "  " + name + "\n";
    std::string line = "\\" + hex + "  ";
    for (char c : name) {
        switch (c) {
        case '\\': line += "\\\\"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        default: line += c;
        }
    }
    return line + "\n";
}

} // namespace engine
