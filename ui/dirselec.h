#pragma once
#include <QDialog>

#include "platform/drive_directories.h"
#include "platform/path_looks.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace common {
class Pelun;
}

namespace ui {

class DirectoryList;
struct DirSelectModule;

// The directory selection dialog. Created once and shown modally again and again; it works
// with the process's working directory: the remembered directory is the working directory
// while it is shown, and OK sets it back to the start-up directory.
class TPSDirSelectForm final : public QDialog {
    Q_OBJECT
public:
    TPSDirSelectForm(DirSelectModule& module, common::Pelun& pelun, QWidget* parent = nullptr);

    DirSelectModule& module() { return module_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void FormCreate();
    void FormActivate();
    void dirsezChange();
    void adrChange();
    void driveseznChange();
    void OKBtnClick();
    void StornoBtnClick();
    // The drive chooser follows the directory shown, as a linked pair does.
    void showDriveOfList();

    DirSelectModule& module_;
    common::Pelun& pelun_;
    platform::DriveDirectories driveDirectories_;
    platform::PathLooks looks_; // of the working directory and what is typed

    QLineEdit* adr_ = nullptr;
    DirectoryList* DirSez_ = nullptr;
    QPushButton* OKBtn_ = nullptr;
    QPushButton* StornoBtn_ = nullptr;
    QLabel* ADRL_ = nullptr;
    QComboBox* drivesezn_ = nullptr;
};

} // namespace ui
