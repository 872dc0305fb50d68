#include "tools/psk_writer.h"

#include "archive/psk_format.h"
#include "common/encoding.h"
#include "common/psmath.h"

#include <zlib.h>

#include <cstring>
#include <fstream>
#include <stdexcept>

namespace tools {

namespace fmt = archive::format;

namespace {

std::vector<std::uint8_t> deflate(const std::vector<std::uint8_t>& content)
{
    uLongf size = ::compressBound(static_cast<uLong>(content.size()));
    std::vector<std::uint8_t> out(size);
    if (::compress2(out.data(), &size, content.data(), static_cast<uLong>(content.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw std::runtime_error("zlib could not compress a member");
    out.resize(size);
    return out;
}

// resize + copy rather than insert: g++ 12 at -O3 misreads insert's bounds (-Warray-bounds).
void append(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t count)
{
    std::size_t at = out.size();
    out.resize(at + count);
    if (count > 0)
        std::memcpy(out.data() + at, data, count);
}

void append(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& data)
{
    append(out, data.data(), data.size());
}

void appendInt32(std::vector<std::uint8_t>& out, std::int32_t value)
{
    std::uint8_t bytes[4];
    fmt::writeInt32(bytes, value);
    append(out, bytes, 4);
}

std::int32_t int32Of(std::size_t value)
{
    if (value > static_cast<std::size_t>(INT32_MAX))
        throw std::length_error("the archive would exceed 2 GiB");
    return static_cast<std::int32_t>(value);
}

} // namespace

std::vector<std::uint8_t> buildPsk(const std::vector<PskMember>& members, std::int32_t dataVersion, PskLayout* layout)
{
    std::vector<std::uint8_t> names;
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> table(members.size() * fmt::kRecordSize);
    std::vector<std::size_t> blockOffsets;
    for (std::size_t i = 0; i < members.size(); ++i) {
        const PskMember& m = members[i];
        // The names block ends each name at its first "*": such a name would be cut short.
        if (m.name.find(static_cast<char>(fmt::kNameEnd)) != std::string::npos)
            throw std::invalid_argument("a member name cannot hold \"*\": " + m.name);
        std::vector<std::uint8_t> stored = m.method == fmt::kMethodZlib ? deflate(m.content) : m.content;
        fmt::TableRecord r;
        r.fileNumber = int32Of(i + 1);
        r.size = int32Of(m.content.size());
        r.comprSize = int32Of(stored.size());
        r.dataOffset = int32Of(data.size());
        r.nameOffset = int32Of(names.size());
        r.crc = static_cast<std::int32_t>(common::PSK_CRC32(m.content));
        r.method = m.method;
        fmt::storeRecord(table.data() + i * fmt::kRecordSize, r);
        std::string name = common::utf8ToCp1250(m.name);
        append(names, reinterpret_cast<const std::uint8_t*>(name.data()), name.size());
        names.push_back(fmt::kNameEnd);
        blockOffsets.push_back(data.size());
        data.push_back(fmt::kMarkBlockStart);
        appendInt32(data, r.fileNumber);
        append(data, stored);
        data.push_back(fmt::kMarkBlockEnd);
    }
    std::vector<std::uint8_t> out(fmt::kHeaderSize, 0);
    out[0] = 'P';
    out[1] = 'S';
    out[2] = 'K';
    fmt::writeInt32(out.data() + fmt::kOffsetFormatVersion, fmt::kFormatVersion);
    fmt::writeInt32(out.data() + fmt::kOffsetFilesCount, int32Of(members.size()));
    fmt::writeInt32(out.data() + fmt::kOffsetDataVersion, dataVersion);
    out[fmt::kOffsetHeaderMark] = fmt::kMarkHeader;
    append(out, table);
    out.push_back(fmt::kMarkTable);
    appendInt32(out, int32Of(names.size()));
    const std::size_t namesStart = out.size();
    append(out, names);
    const std::size_t dataStart = out.size();
    append(out, data);
    out.resize(out.size() + fmt::kClosingSize, 0);
    int32Of(out.size());
    if (layout != nullptr) {
        layout->tableStart = fmt::kHeaderSize;
        layout->namesStart = namesStart;
        layout->dataStart = dataStart;
        layout->blockStarts.clear();
        for (std::size_t offset : blockOffsets)
            layout->blockStarts.push_back(dataStart + offset);
    }
    return out;
}

bool writePsk(const std::string& path, const std::vector<PskMember>& members, std::int32_t dataVersion)
{
    std::vector<std::uint8_t> bytes = buildPsk(members, dataVersion);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

} // namespace tools
