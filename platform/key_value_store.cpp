#include "platform/key_value_store.h"

#include "platform/ascii.h"
#include "platform/filesystem.h"
#include "platform/save_file.h"

#include <fstream>
#include <sstream>
#include <vector>

namespace platform {

namespace {

std::vector<std::string> readLines(const std::string& file)
{
    std::vector<std::string> lines;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool isSection(const std::string& line)
{
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

std::string sectionName(const std::string& line)
{
    return line.substr(1, line.size() - 2);
}

// Finds "name=" in the section; returns the index of the line or npos.
std::size_t findValue(const std::vector<std::string>& lines, const std::string& key, const std::string& name,
                      std::size_t& sectionEnd)
{
    bool inKey = false;
    std::size_t found = std::string::npos;
    sectionEnd = std::string::npos;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (isSection(lines[i])) {
            if (inKey && sectionEnd == std::string::npos)
                sectionEnd = i;
            inKey = sectionName(lines[i]) == key;
            continue;
        }
        if (!inKey)
            continue;
        auto eq = lines[i].find('=');
        if (eq != std::string::npos && found == std::string::npos &&
            equalIgnoringAsciiCase(lines[i].substr(0, eq), name))
            found = i;
    }
    if (inKey && sectionEnd == std::string::npos)
        sectionEnd = lines.size();
    return found;
}

bool writeStore(const std::string& file, const std::string& content)
{
    auto slash = file.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeDirectories(file.substr(0, slash)))
        return false;
    return saveFile(file, content, 0600) == 0;
}

} // namespace

std::string KeyValueStore::read(const std::string& key, const std::string& name, const std::string& fallback) const
{
    auto lines = readLines(file_);
    std::size_t end = 0;
    std::size_t at = findValue(lines, key, name, end);
    if (at == std::string::npos)
        return fallback;
    return lines[at].substr(lines[at].find('=') + 1);
}

bool KeyValueStore::write(const std::string& key, const std::string& name, const std::string& value)
{
    if (name.find('=') != std::string::npos || name.find('\n') != std::string::npos ||
        value.find('\n') != std::string::npos)
        return false;
    auto lines = readLines(file_);
    std::size_t end = 0;
    std::size_t at = findValue(lines, key, name, end);
    std::string entry = name + "=" + value;
    if (at != std::string::npos) {
        lines[at] = lines[at].substr(0, lines[at].find('=')) + "=" + value;
    } else if (end != std::string::npos) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(end), entry);
    } else {
        lines.push_back("[" + key + "]");
        lines.push_back(entry);
    }
    std::ostringstream out;
    for (const auto& l : lines)
        out << l << '\n';
    return writeStore(file_, out.str());
}

} // namespace platform
