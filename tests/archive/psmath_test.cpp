#include "common/psmath.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// The rule written out literally, to hold the table-driven version against.
std::uint32_t literalChecksum(const std::vector<std::uint8_t>& data)
{
    std::uint32_t table[256];
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        table[n] = c;
    }
    std::uint32_t crc = 0;
    for (std::uint8_t b : data) {
        std::uint32_t low = crc & 0xFF;
        std::uint32_t index = ((crc & 0x80000000u) && low != 0) ? (256 - low) ^ b : low ^ b;
        crc = (crc >> 8) ^ table[index];
    }
    return crc;
}

std::vector<std::uint8_t> bytes(const std::string& s)
{
    return {s.begin(), s.end()};
}

} // namespace

TEST(PskCrc32, gives_the_check_values)
{
    EXPECT_EQ(common::PSK_CRC32(bytes("")), 0u);
    EXPECT_EQ(common::PSK_CRC32(bytes("a")), 0x3AB551CEu);
    EXPECT_EQ(common::PSK_CRC32(bytes("abc")), 0x7E6E26E7u);
}

TEST(PskCrc32, follows_the_negated_index_rule_whenever_bit_31_is_set)
{
    std::mt19937 random(7);
    for (std::size_t length : {1u, 2u, 3u, 5u, 17u, 1000u, 70001u}) {
        std::vector<std::uint8_t> data(length);
        for (auto& b : data)
            b = static_cast<std::uint8_t>(random());
        EXPECT_EQ(common::PSK_CRC32(data), literalChecksum(data)) << length;
    }
}

TEST(PskCrc32, streams_over_a_memory_stream_in_blocks_and_ends_at_its_end)
{
    std::vector<std::uint8_t> data(200000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 31 + (i >> 8));
    common::MemoryStream stream;
    stream.write(data.data(), data.size());
    stream.seek(1234);
    EXPECT_EQ(common::PSK_CRC32(stream), literalChecksum(data));
    EXPECT_EQ(stream.position(), data.size());
}
