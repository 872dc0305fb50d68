#include "platform/key_value_store.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

using testing_support::TempDir;

TEST(KeyValueStore, missing_file_key_or_value_reads_as_the_fallback)
{
    TempDir dir;
    platform::KeyValueStore store(dir / "none/registry.ini");
    EXPECT_EQ(store.read("Software\\PELUN Software\\SystemPSKFiles", "PelunPSK", "*"), "*");
    testing_support::writeFile(dir / "r.ini", "[Other]\nPelunPSK=/x\n");
    platform::KeyValueStore other(dir / "r.ini");
    EXPECT_EQ(other.read("Software\\PELUN Software\\SystemPSKFiles", "PelunPSK", "*"), "*");
}

TEST(KeyValueStore, values_are_written_and_found_without_regard_to_name_case)
{
    TempDir dir;
    platform::KeyValueStore store(dir / "cfg/registry.ini");
    const std::string key = "Software\\PELUN Software\\SystemPSKFiles";
    ASSERT_TRUE(store.write(key, "PelunPSK", "/home/u/SYSTEM/Pelun.PSK"));
    ASSERT_TRUE(store.write("Software\\Microsoft\\Windows\\CurrentVersion", "SystemRoot", "/w"));
    EXPECT_EQ(store.read(key, "PelunPsk", "*"), "/home/u/SYSTEM/Pelun.PSK");
    ASSERT_TRUE(store.write(key, "PELUNPSK", "/new path=with equals"));
    EXPECT_EQ(store.read(key, "pelunpsk", "*"), "/new path=with equals");
    EXPECT_EQ(store.read("Software\\Microsoft\\Windows\\CurrentVersion", "systemroot", ""), "/w");
    std::string content = testing_support::readFile(dir / "cfg/registry.ini");
    EXPECT_EQ(content.find("PELUNPSK"), std::string::npos) << "the stored name keeps its first spelling";
    EXPECT_FALSE(store.write(key, "bad\nname", "x"));
}
