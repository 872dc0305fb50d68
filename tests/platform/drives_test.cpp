#include "platform/drives.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

using testing_support::TempDir;

TEST(DriveTable, gives_c_to_root_and_letters_to_real_filesystems_in_mount_point_order)
{
    TempDir dir;
    std::string media = dir.path();
    testing_support::writeFile(dir / "mountinfo",
                               "22 27 0:21 / /proc rw - proc proc rw\n"
                               "23 27 0:22 / /sys rw - sysfs sysfs rw\n"
                               "27 1 254:0 / / rw - ext4 /dev/vda rw\n"
                               "30 27 0:27 / /dev/shm rw - tmpfs tmpfs rw\n"
                               "40 27 0:40 / /tmp rw - tmpfs tmpfs rw\n"
                               "41 27 8:17 / /usr rw - ext4 /dev/sdb1 rw\n"
                               "42 27 0:50 / /home rw - nfs4 server:/export rw\n"
                               "43 27 11:0 / /etc rw - iso9660 /dev/sr0 ro\n"
                               "44 27 254:0 /x /etc/hosts rw - ext4 /dev/vda rw\n");
    auto table = platform::DriveTable::fromMountTable(dir / "mountinfo");
    const auto& drives = table.drives();
    ASSERT_GE(drives.size(), 4u);
    EXPECT_EQ(drives[0].letter, 'c');
    EXPECT_EQ(drives[0].mountPoint, "/");
    EXPECT_EQ(drives[0].walkPath(), "");
    EXPECT_EQ(drives[1].mountPoint, "/etc");
    EXPECT_EQ(drives[1].type, platform::DriveType::CdRom);
    EXPECT_EQ(drives[2].mountPoint, "/home");
    EXPECT_EQ(drives[2].type, platform::DriveType::Remote);
    EXPECT_EQ(drives[2].entryText(), "e: [server:/export] /home");
    EXPECT_EQ(drives[3].mountPoint, "/usr");
    EXPECT_EQ(drives[3].letter, 'f');
    for (const auto& d : drives) {
        EXPECT_NE(d.mountPoint, "/proc");
        EXPECT_NE(d.mountPoint, "/tmp");
        EXPECT_NE(d.mountPoint, "/etc/hosts");
    }
    EXPECT_EQ(table.find('F'), &drives[3]);
    EXPECT_EQ(table.find('z'), nullptr);
}

TEST(DriveTable, a_bind_mount_of_a_directory_gets_no_letter_of_its_own)
{
    TempDir dir;
    testing_support::makeDir(dir / "whole");
    testing_support::makeDir(dir / "bound");
    testing_support::writeFile(dir / "mountinfo",
                               "27 1 254:0 / / rw - ext4 /dev/vda rw\n"
                               "50 27 8:17 / " +
                                   dir / "whole" +
                                   " rw - ext4 /dev/sdb1 rw\n"
                                   "51 27 8:17 /srv/data " +
                                   dir / "bound" + " rw - ext4 /dev/sdb1 rw\n");
    auto table = platform::DriveTable::fromMountTable(dir / "mountinfo");
    std::vector<std::string> mounted;
    for (const auto& d : table.drives())
        if (!d.mountPoint.empty())
            mounted.push_back(d.mountPoint);
    EXPECT_EQ(mounted, (std::vector<std::string>{"/", dir / "whole"}));
}

TEST(DriveTable, finds_the_drive_that_holds_a_path)
{
    auto table = platform::DriveTable::fromDrives({
        {'c', platform::DriveType::Fixed, "/", "", ""},
        {'d', platform::DriveType::Fixed, "/mnt/data", "", ""},
        {'e', platform::DriveType::CdRom, "", "", "/dev/sr0"},
    });
    EXPECT_EQ(table.driveOf("/mnt/data/x")->letter, 'd');
    EXPECT_EQ(table.driveOf("/mnt/data")->letter, 'd');
    EXPECT_EQ(table.driveOf("/mnt/database")->letter, 'c');
    EXPECT_TRUE(platform::DriveTable::ready(*table.find('c')));
    EXPECT_FALSE(platform::DriveTable::ready(*table.find('e')));
    EXPECT_EQ(table.find('e')->entryText(), "e:");
}

TEST(DriveTable, reads_this_machine_without_failing)
{
    auto table = platform::DriveTable::fromMountTable();
    ASSERT_FALSE(table.drives().empty());
    EXPECT_EQ(table.drives()[0].letter, 'c');
}
