#include "archive/psk_format.h"

#include "platform/ascii.h"

#include <algorithm>

namespace archive::format {

TableRecord recordAt(std::span<const std::uint8_t> table, std::size_t i)
{
    const std::uint8_t* p = table.data() + i * kRecordSize;
    TableRecord r;
    r.fileNumber = readInt32(p);
    r.size = readInt32(p + 4);
    r.comprSize = readInt32(p + 8);
    r.dataOffset = readInt32(p + 12);
    r.nameOffset = readInt32(p + 16);
    r.crc = readInt32(p + 20);
    r.method = readInt32(p + 24);
    r.reserved1 = readInt32(p + 28);
    r.reserved2 = readInt32(p + 32);
    return r;
}

void storeRecord(std::uint8_t* p, const TableRecord& r)
{
    const std::int32_t fields[] = {r.fileNumber, r.size,   r.comprSize, r.dataOffset, r.nameOffset,
                                   r.crc,        r.method, r.reserved1, r.reserved2};
    for (std::int32_t field : fields) {
        writeInt32(p, field);
        p += 4;
    }
}

bool nameMatches(std::span<const std::uint8_t> names, std::int32_t offset, const std::string& sought)
{
    if (offset < 0 || static_cast<std::size_t>(offset) >= names.size())
        return false;
    std::size_t at = static_cast<std::size_t>(offset);
    if (names.size() - at <= sought.size())
        return false;
    for (char c : sought) {
        if (names[at] == kNameEnd || platform::asciiUpper(static_cast<char>(names[at])) != c)
            return false;
        ++at;
    }
    return names[at] == kNameEnd;
}

bool nameIsTerminated(std::span<const std::uint8_t> names, std::int32_t offset)
{
    if (offset < 0 || static_cast<std::size_t>(offset) >= names.size())
        return false;
    return std::find(names.begin() + offset, names.end(), kNameEnd) != names.end();
}

std::string storedName(std::span<const std::uint8_t> names, std::int32_t offset)
{
    std::string name;
    if (offset < 0)
        return name;
    for (std::size_t at = static_cast<std::size_t>(offset); at < names.size() && names[at] != kNameEnd; ++at)
        name.push_back(static_cast<char>(names[at]));
    return name;
}

} // namespace archive::format
