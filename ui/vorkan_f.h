#pragma once
#include "engine/host.h"

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QAbstractEventDispatcher;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTimer;

namespace common {
class Pelun;
}
namespace engine {
class VorkanEngine;
}

namespace ui {

class AppTitle;
class DetailsWindow;
class TaskbarProgress;
class TPSDirSelectForm;

// The main window. It renders the engine's view model, forwards the user's actions to the
// engine's handlers and hosts the engine's runs: a run is one long StartBtnClick that lets
// this window's events run at its yield points.
class TMainForm final : public QWidget, public engine::EngineHost {
    Q_OBJECT
public:
    TMainForm(engine::VorkanEngine& engine, common::Pelun& pelun, AppTitle& title);
    ~TMainForm() override;

    void setDirSelectForm(TPSDirSelectForm& form) { dirSelectForm_ = &form; }

    // engine::EngineHost
    void processEvents(engine::YieldPoint where) override;
    void waitForEvents(engine::YieldPoint where) override;
    void wake() override;
    void startMainTimer() override;
    void stopMainTimer() override;
    bool mainTimerActive() const override;
    void startSoubTimer() override;
    void stopSoubTimer() override;
    void showPage(engine::Page page) override;
    void setTitle(const std::string& title) override;
    void viewChanged() override;
    void beep() override;

signals:
    // The window has closed and no run is on the stack any more: the program may end.
    void programEnds();
    // "&O programu" was pressed.
    void aboutRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Building (vorkan_f_pages.cpp)
    void buildWindow();
    QWidget* buildTestPage();
    QWidget* buildResultPage();
    QWidget* buildSettingsPage();
    QWidget* buildErrorListPage();
    void buildTabOrder();
    void buildComponents();
    void connectHandlers();

    // Handlers
    void FormActivate();
    bool FormCloseQuery();
    void Notebook1PageChanged(int page);
    void TestJednRBClick();
    void TestAdrRBClick();
    void TestSoubRBClick();
    void enableRows(bool jedn, bool adr, bool soub);
    void AdrProchBtnClick();
    void SoubProchBtnClick();
    void StartBtnClick();
    void PauseBtnClick();
    void UkoncitBtnClick();
    void SaveLogBtnClick();
    void VyslTestuOKBtnClick();
    void BitBtn2Click();
    void BitBtn1Click();
    void OprogBtnClick();
    void PodrobnostiBtnClick();
    void MainTimerTimer();

    // Rendering (vorkan_f_view.cpp)
    void renderTestPage();
    void renderResult();
    QWidget* firstControlOf(int page) const;
    QPushButton* defaultButtonOf(int page) const;

    engine::VorkanEngine& engine_;
    common::Pelun& pelun_;
    AppTitle& title_;
    TPSDirSelectForm* dirSelectForm_ = nullptr;
    QAbstractEventDispatcher* dispatcher_ = nullptr;
    bool activated_ = false;
    bool endAfterRun_ = false;
    DetailsWindow* details_ = nullptr; // made when first asked for
    std::unique_ptr<TaskbarProgress> taskbar_;

    QStackedWidget* Notebook1 = nullptr;
    // Page 0
    QLabel *druhTOL = nullptr, *TOL = nullptr, *TypTestuL = nullptr;
    QLabel *DobaTrvL = nullptr, *DobaCelkL = nullptr, *DobaZbyvL = nullptr;
    QLabel *PrumRychL = nullptr, *MaxRychL = nullptr, *AktRychL = nullptr;
    QLabel *StavL = nullptr, *Label3 = nullptr, *SoubJML = nullptr;
    QProgressBar *PrubehSoub = nullptr, *Prubeh = nullptr;
    QPushButton *PauseBtn = nullptr, *UkoncitBtn = nullptr;
    // Page 1
    QPlainTextEdit* VyslTestu = nullptr;
    QLabel* PocetchybL = nullptr;
    QPushButton *BitBtn2 = nullptr, *SaveLogBtn = nullptr, *VyslTestuOKBtn = nullptr;
    QPushButton* PodrobnostiBtn = nullptr;
    // Page 2
    QGroupBox* GroupBox1 = nullptr;
    QRadioButton *TestJednRB = nullptr, *TestAdrRB = nullptr, *TestSoubRB = nullptr;
    QComboBox* JednE = nullptr;
    QLineEdit *AdrE = nullptr, *SoubE = nullptr;
    QPushButton *AdrProchBtn = nullptr, *SoubProchBtn = nullptr;
    QGroupBox* RadioGroup1 = nullptr;
    QRadioButton *KompletniTestRB = nullptr, *RychlyTestRB = nullptr;
    QCheckBox* MapovatCB = nullptr;
    QCheckBox* OveritSouctyCB = nullptr;
    QCheckBox* PovrchCB = nullptr;
    QPushButton *StartBtn = nullptr, *OprogBtn = nullptr, *KonecBtn = nullptr;
    // Page 3
    QListWidget* ChybSezn = nullptr;
    QPushButton* BitBtn1 = nullptr;
    // Components without a window
    QFileDialog *OpenDialog1 = nullptr, *SaveDialog1 = nullptr;
    QTimer *MainTimer = nullptr, *SoubTimer = nullptr;

    // What the widgets show, so that refreshing after every chunk touches only what changed.
    struct Shown {
        std::vector<std::string> labels;
        std::string pauseCaption;
        bool ukoncitEnabled = true;
        std::vector<std::string> report;
        std::size_t errors = 0;
        std::string errorCount;
        bool errorCountRed = false;
    } shown_;
};

} // namespace ui
