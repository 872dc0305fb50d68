#pragma once
#include <string>

class QComboBox;

namespace platform {
class DriveTable;
}

namespace ui {

// Fills a drive chooser with the machine's drives in letter order, each entry
// "d: [LABEL] /mount/point" with a picture of its type, and selects the drive that holds
// the path (none when no drive holds it).
void fillDriveCombo(QComboBox& combo, const platform::DriveTable& drives);
void selectDriveOf(QComboBox& combo, const platform::DriveTable& drives, const std::string& path);

} // namespace ui
