#pragma once
#include "archive/pskomp.h"
#include "common/pelun.h"
#include "platform/drives.h"
#include "platform/key_value_store.h"
#include "tests/support/recording_port.h"
#include "tests/support/temp_dir.h"
#include "tools/psk_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace testing_support {

inline std::vector<std::uint8_t> bytesOf(const std::string& text)
{
    return {text.begin(), text.end()};
}

inline std::string textOf(const common::MemoryStream& stream)
{
    auto b = stream.bytes();
    return {b.begin(), b.end()};
}

inline void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    writeFile(path, std::string(bytes.begin(), bytes.end()));
}

inline void putInt32(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
}

// A fresh module with its own base directory, registry and system directory.
struct ArchiveFixture : ::testing::Test {
    TempDir dir;
    RecordingPort port;
    platform::KeyValueStore registry{dir / "registry.ini"};
    platform::DriveTable drives = platform::DriveTable::fromDrives({});
    common::Pelun pelun{port, drives, registry, {dir / "start", dir / "Windows"}};
    archive::Pskomp psk{pelun};

    void SetUp() override
    {
        makeDir(dir / "start");
        ASSERT_TRUE(psk.PSK_Init(dir / "start"));
    }

    std::string archiveFile(const std::string& name, const std::vector<tools::PskMember>& members,
                            std::int32_t dataVersion = 0)
    {
        std::string path = dir / name;
        writeBytes(path, tools::buildPsk(members, dataVersion));
        return path;
    }

    std::int32_t open(const std::string& path, std::int32_t mode = 0)
    {
        std::int32_t n = -7;
        psk.PSK_OpenArchive(n, path, mode);
        return n;
    }

    std::vector<std::string> messages() const { return port.texts(); }
    std::string lastMessage() const { return port.shown.empty() ? std::string() : port.shown.back().text; }
};

inline tools::PskMember member(const std::string& name, const std::string& content, std::int32_t method = 1)
{
    return {name, bytesOf(content), method};
}

} // namespace testing_support
