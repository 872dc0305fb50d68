#pragma once
#include "engine/findings_json.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

namespace common {
class Pelun;
}
namespace engine {
class VorkanEngine;
struct DetailsView;
} // namespace engine

namespace ui {

class SpeedCurve;

// The details of the last finished run beside the main window: the speed curve with the slow
// reads, the findings of the error list, the slow reads, how much did not come from the
// medium, and the run as a JSON document to save.
class DetailsWindow final : public QWidget {
    Q_OBJECT
public:
    DetailsWindow(const engine::VorkanEngine& engine, common::Pelun& pelun, QWidget* parent);

    // Fills the window from the engine's last run and brings it up.
    void showRun();

private:
    void fill(const engine::DetailsView& view);
    void fitScreen();
    void saveJson();
    void saveManifest();
    QString chosenSaveName(const char* name, QStringList filters, const QString& suffix, const QString& proposed);

    const engine::VorkanEngine& engine_;
    common::Pelun& pelun_;
    bool placed_ = false;

    SpeedCurve* curve_ = nullptr;
    QTableWidget* findings_ = nullptr;
    QTableWidget* slow_ = nullptr;
    QLabel* slowDropped_ = nullptr;
    QWidget* hitsBox_ = nullptr;
    QTableWidget* hits_ = nullptr;
    QLabel* hitsDropped_ = nullptr;
    QLabel* notFromMedium_ = nullptr;
    QLabel* notFromMediumWhy_ = nullptr;
    QLabel* vanished_ = nullptr;
    QPushButton* saveJson_ = nullptr;
    QLabel* manifests_ = nullptr;
    QPushButton* saveManifest_ = nullptr;
};

} // namespace ui
