#include "platform/drive_directories.h"

#include <gtest/gtest.h>

namespace {

platform::DriveTable twoDrives()
{
    platform::Drive c;
    c.letter = 'c';
    c.mountPoint = "/";
    platform::Drive d;
    d.letter = 'd';
    d.mountPoint = "/media/usb";
    platform::Drive e;
    e.letter = 'e';
    e.type = platform::DriveType::CdRom; // no medium
    return platform::DriveTable::fromDrives({c, d, e});
}

TEST(DriveDirectories, a_drive_never_visited_starts_at_its_mount_point)
{
    auto table = twoDrives();
    platform::DriveDirectories dirs(table);
    EXPECT_EQ(dirs.currentOf('d'), "/media/usb");
    EXPECT_EQ(dirs.currentOf('C'), "/");
    EXPECT_EQ(dirs.currentOf('e'), "");
    EXPECT_EQ(dirs.currentOf('x'), "");
}

TEST(DriveDirectories, each_drive_keeps_the_directory_last_changed_to_on_it)
{
    auto table = twoDrives();
    platform::DriveDirectories dirs(table);
    dirs.remember("/media/usb/photos");
    dirs.remember("/home/user");
    dirs.remember("/media/usbstick"); // not below /media/usb: the root filesystem's
    EXPECT_EQ(dirs.currentOf('d'), "/media/usb/photos");
    EXPECT_EQ(dirs.currentOf('c'), "/media/usbstick");
}

} // namespace
