#include "tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <sstream>
#include <stdexcept>

namespace faultfs {

namespace {

std::vector<std::string> splitWords(const std::string& line)
{
    std::string text = line.substr(0, line.find('#'));
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

std::string normalisePath(std::string path)
{
    while (!path.empty() && path.front() == '/')
        path.erase(0, 1);
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    if (path.empty())
        throw std::invalid_argument("empty path");
    std::string result;
    std::istringstream parts(path);
    for (std::string part; std::getline(parts, part, '/');) {
        if (part.empty() || part == "." || part == "..")
            throw std::invalid_argument("bad path component in \"" + path + "\"");
        result += "/" + part;
    }
    return result;
}

std::string parentOf(const std::string& path)
{
    auto slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

int parseSeconds(const std::string& text)
{
    std::int64_t value = parseSize(text);
    if (value > std::numeric_limits<int>::max())
        throw std::invalid_argument("too many seconds: " + text);
    return static_cast<int>(value);
}

Entry imageEntry(const std::string& path, const std::vector<std::string>& words)
{
    if (words.size() < 3)
        throw std::invalid_argument("an image needs its file: " + path);
    Entry file;
    file.path = path;
    file.fault = Fault::Image;
    file.imageFd = ::open(words[2].c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (file.imageFd < 0 || ::fstat(file.imageFd, &st) != 0)
        throw std::invalid_argument("cannot open the image " + words[2]);
    file.size = st.st_size;
    for (std::size_t i = 3; i < words.size(); i += 3) {
        if (i + 2 >= words.size())
            throw std::invalid_argument("eio START END or stall OFFSET SECONDS: " + path);
        if (words[i] == "eio") {
            std::int64_t start = parseSize(words[i + 1]);
            std::int64_t end = parseSize(words[i + 2]);
            if (end <= start)
                throw std::invalid_argument("an eio range must not be empty: " + path);
            file.eioRanges.emplace_back(start, end);
        } else if (words[i] == "stall") {
            file.stallOffset = parseSize(words[i + 1]);
            file.seconds = parseSeconds(words[i + 2]);
        } else {
            throw std::invalid_argument("an image takes eio and stall only: " + words[i]);
        }
    }
    return file;
}

} // namespace

std::int64_t parseSize(const std::string& text)
{
    std::size_t used = 0;
    long long value = 0;
    try {
        value = std::stoll(text, &used, 10);
    } catch (const std::exception&) {
        throw std::invalid_argument("not a number: \"" + text + "\"");
    }
    if (value < 0)
        throw std::invalid_argument("negative number: \"" + text + "\"");
    std::int64_t unit = 1;
    std::string suffix = text.substr(used);
    if (suffix == "K")
        unit = std::int64_t{1} << 10;
    else if (suffix == "M")
        unit = std::int64_t{1} << 20;
    else if (suffix == "G")
        unit = std::int64_t{1} << 30;
    else if (!suffix.empty())
        throw std::invalid_argument("bad unit in \"" + text + "\"");
    if (value > std::numeric_limits<std::int64_t>::max() / unit)
        throw std::invalid_argument("number too large: \"" + text + "\"");
    return value * unit;
}

Tree::Tree()
{
    Entry root;
    root.path = "/";
    root.isDir = true;
    entries_.push_back(root);
    byPath_["/"] = 0;
}

std::size_t Tree::addEntry(Entry entry)
{
    if (byPath_.count(entry.path) != 0)
        throw std::invalid_argument("described twice: " + entry.path);
    std::size_t parent = ensureDir(parentOf(entry.path));
    std::size_t index = entries_.size();
    byPath_[entry.path] = index;
    entries_.push_back(std::move(entry));
    entries_[parent].children.push_back(index);
    return index;
}

std::size_t Tree::ensureDir(const std::string& path)
{
    auto it = byPath_.find(path);
    if (it != byPath_.end()) {
        if (!entries_[it->second].isDir)
            throw std::invalid_argument("a file cannot hold entries: " + path);
        return it->second;
    }
    Entry dir;
    dir.path = path;
    dir.isDir = true;
    return addEntry(std::move(dir));
}

void Tree::addLine(const std::string& line)
{
    std::vector<std::string> words = splitWords(line);
    if (words.empty())
        return;
    if (words[0].back() == '/') {
        std::string path = normalisePath(words[0]);
        if (byPath_.count(path) != 0)
            throw std::invalid_argument("described twice: " + path);
        Entry& dir = entries_[ensureDir(path)];
        if (words.size() == 2 && words[1] == "list-eio") {
            dir.fault = Fault::ListEio;
        } else if (words.size() == 3 && words[1] == "list-stall") {
            dir.fault = Fault::ListStall;
            dir.seconds = parseSeconds(words[2]);
        } else if (words.size() == 3 && words[1] == "getattr-stall") {
            dir.fault = Fault::GetattrStall;
            dir.seconds = parseSeconds(words[2]);
        } else if (words.size() != 1) {
            throw std::invalid_argument(
                "a directory takes list-eio, list-stall SECONDS or getattr-stall SECONDS only: " + words[0]);
        }
        return;
    }
    if (words.size() < 2)
        throw std::invalid_argument("a file needs a size: " + words[0]);

    Entry file;
    if (words.size() > 2 && words.back().rfind("from=", 0) == 0) {
        file.source = words.back().substr(5);
        words.pop_back();
    }
    file.path = normalisePath(words[0]);
    if (words[1] == "image") {
        addEntry(imageEntry(file.path, words));
        return;
    }
    file.size = parseSize(words[1]);
    std::size_t expected = 2;
    if (words.size() > 2) {
        const std::string& kind = words[2];
        if (kind == "open-eio") {
            file.fault = Fault::OpenEio;
            expected = 3;
        } else if (kind == "open-eacces") {
            file.fault = Fault::OpenEacces;
            expected = 3;
        } else if (kind == "eio-at" && words.size() >= 4) {
            file.fault = Fault::EioAt;
            file.offset = parseSize(words[3]);
            expected = 4;
        } else if (kind == "eio-range" && words.size() >= 5) {
            file.fault = Fault::EioRange;
            file.offset = parseSize(words[3]);
            file.end = parseSize(words[4]);
            if (file.end <= file.offset)
                throw std::invalid_argument("eio-range must not be empty: " + file.path);
            expected = 5;
        } else if (kind == "short" && words.size() >= 4) {
            file.fault = Fault::Short;
            file.offset = parseSize(words[3]);
            if (file.offset >= file.size)
                throw std::invalid_argument("short must end before the size: " + file.path);
            expected = 4;
        } else if (kind == "getattr-stall" && words.size() >= 4) {
            file.fault = Fault::GetattrStall;
            file.seconds = parseSeconds(words[3]);
            expected = 4;
        } else if (kind == "stall" && words.size() >= 5) {
            file.fault = Fault::Stall;
            file.offset = parseSize(words[3]);
            file.seconds = parseSeconds(words[4]);
            expected = 5;
        } else {
            throw std::invalid_argument("unknown fault or missing parameter: " + kind);
        }
    }
    if (words.size() != expected)
        throw std::invalid_argument("unexpected words after the entry: " + file.path);
    addEntry(std::move(file));
}

void Tree::addLines(std::istream& in, const std::string& sourceName)
{
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        try {
            addLine(line);
        } catch (const std::invalid_argument& e) {
            throw std::invalid_argument(sourceName + ":" + std::to_string(number) + ": " + e.what());
        }
    }
}

const Entry* Tree::find(const std::string& path) const
{
    auto it = byPath_.find(path);
    return it == byPath_.end() ? nullptr : &entries_[it->second];
}

std::int64_t Tree::totalSize() const
{
    std::int64_t total = 0;
    for (const Entry& e : entries_)
        total += e.size;
    return total;
}

ReadOutcome planRead(const Entry& file, std::int64_t offset, std::int64_t size)
{
    ReadOutcome out;
    std::int64_t dataEnd = file.fault == Fault::Short ? file.offset : file.size;
    if (file.fault == Fault::Stall && offset <= file.offset && file.offset - offset < size)
        out.stallSeconds = file.seconds;
    if (file.fault == Fault::Image) {
        if (file.stallOffset >= offset && file.stallOffset < offset + size)
            out.stallSeconds = file.seconds;
        for (const auto& [start, end] : file.eioRanges) {
            if (offset < end && offset + size > start) {
                out.error = EIO;
                return out;
            }
        }
    }
    if (file.fault == Fault::EioRange && offset < file.end && offset + size > file.offset) {
        out.error = EIO; // like a bad sector: the request fails whole
        return out;
    }
    if (file.fault == Fault::EioAt) {
        if (offset >= file.offset) {
            out.error = EIO;
            return out;
        }
        dataEnd = std::min(dataEnd, file.offset);
    }
    if (offset < dataEnd)
        out.length = std::min(size, dataEnd - offset);
    return out;
}

char patternByte(std::int64_t offset)
{
    static constexpr char kCycle[] = "abcdefghijklmnopqrstuvwxyz0123456789\n";
    return kCycle[offset % (sizeof kCycle - 1)];
}

void fillPattern(char* out, std::int64_t offset, std::int64_t length)
{
    for (std::int64_t i = 0; i < length; ++i)
        out[i] = patternByte(offset + i);
}

} // namespace faultfs
