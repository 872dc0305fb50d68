#include "ui/drive_combo.h"

#include "platform/drives.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>

namespace ui {

namespace {

QStyle::StandardPixmap pictureOf(platform::DriveType type)
{
    switch (type) {
    case platform::DriveType::Removable: return QStyle::SP_DriveFDIcon;
    case platform::DriveType::Remote: return QStyle::SP_DriveNetIcon;
    case platform::DriveType::CdRom: return QStyle::SP_DriveCDIcon;
    default: return QStyle::SP_DriveHDIcon;
    }
}

} // namespace

void fillDriveCombo(QComboBox& combo, const platform::DriveTable& drives)
{
    std::vector<const platform::Drive*> sorted;
    for (const auto& d : drives.drives())
        sorted.push_back(&d);
    std::sort(sorted.begin(), sorted.end(), [](const auto* a, const auto* b) { return a->letter < b->letter; });
    const QSignalBlocker quiet(combo);
    combo.clear();
    for (const auto* d : sorted)
        combo.addItem(combo.style()->standardIcon(pictureOf(d->type), nullptr, &combo),
                      QString::fromStdString(d->entryText()), QChar::fromLatin1(d->letter));
}

void selectDriveOf(QComboBox& combo, const platform::DriveTable& drives, const std::string& path)
{
    const platform::Drive* drive = drives.driveOf(path);
    const int index = drive != nullptr ? combo.findData(QChar::fromLatin1(drive->letter)) : -1;
    const QSignalBlocker quiet(combo);
    combo.setCurrentIndex(index);
}

} // namespace ui
