#include "engine/manifest_paths.h"

#include "platform/random_access_file.h"

#include <string_view>
#include <vector>

namespace engine {

namespace {

// "a/./b//c/../d" as "a/b/d"; nothing when ".." climbs above the top. Every file looked up
// comes this way, and most names are already plain: those are taken as they stand.
std::optional<std::string> normalised(const std::string& path)
{
    std::vector<std::string_view> parts;
    bool plain = true;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        std::string_view part = std::string_view(path).substr(start, slash - start);
        if (part == "..") {
            if (parts.empty())
                return std::nullopt;
            parts.pop_back();
            plain = false;
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        } else {
            plain = false;
        }
        start = slash + 1;
    }
    if (plain)
        return path;
    std::string key;
    for (std::string_view part : parts) {
        if (!key.empty())
            key += '/';
        key += part;
    }
    return key;
}

// path relative to the directory dir (both absolute and without links); nothing when it
// does not lie below it.
std::optional<std::string> below(const std::string& dir, const std::string& path)
{
    if (dir == "/")
        return path.substr(1);
    if (path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 && path[dir.size()] == '/')
        return path.substr(dir.size() + 1);
    return std::nullopt;
}

} // namespace

TestRoot TestRoot::ofDirectory(const std::string& walkRoot)
{
    TestRoot r;
    r.walkPrefix = walkRoot + "/";
    r.absolute = platform::canonicalPath(walkRoot.empty() ? "/" : walkRoot);
    return r;
}

TestRoot TestRoot::ofFile(const std::string& path)
{
    TestRoot r;
    r.singleFile = true;
    std::size_t slash = path.rfind('/');
    r.walkPrefix = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    r.fileKey = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    r.absolute = platform::canonicalPath(dir);
    return r;
}

std::string TestRoot::keyOfWalkName(const std::string& name) const
{
    if (singleFile)
        return fileKey;
    return name.compare(0, walkPrefix.size(), walkPrefix) == 0 ? name.substr(walkPrefix.size()) : name;
}

std::optional<std::string> TestRoot::resolve(const std::string& base, const std::string& name) const
{
    std::optional<std::string> key;
    if (!name.empty() && name.front() == '/') {
        auto relative = below(absolute, name);
        if (!relative)
            return std::nullopt;
        key = normalised(*relative);
    } else {
        key = normalised(base.empty() ? name : base + "/" + name);
    }
    if (!key || key->empty())
        return std::nullopt;
    if (singleFile && *key != fileKey)
        return std::nullopt;
    return key;
}

std::string TestRoot::baseOf(const std::string& manifestPath) const
{
    if (singleFile || absolute.empty())
        return {};
    auto relative = below(absolute, manifestPath);
    return relative ? directoryOfKey(*relative) : std::string();
}

std::string directoryOfKey(const std::string& key)
{
    std::size_t slash = key.rfind('/');
    return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

} // namespace engine
