#include "ui/vorkan_f.h"
#include "engine/device_scan_run.h"

#include "engine/save_log.h"
#include "engine/vorkan_engine.h"
#include "ui/app_title.h"
#include "ui/details_window.h"
#include "ui/dirselec.h"
#include "ui/dirselec_module.h"
#include "ui/save_wait.h"
#include "ui/taskbar_progress.h"

#include <QAbstractEventDispatcher>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QThread>
#include <QTimer>

namespace ui {

TMainForm::TMainForm(engine::VorkanEngine& engine, common::Pelun& pelun, AppTitle& title)
    : engine_(engine), pelun_(pelun), title_(title),
      dispatcher_(QAbstractEventDispatcher::instance(QThread::currentThread())),
      taskbar_(std::make_unique<TaskbarProgress>())
{
    engine_.setDeviceScans(engine::makeDeviceScan);
    buildWindow();
    connectHandlers();
    setWindowIconText(title_.text());
    viewChanged();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TMainForm::~TMainForm() = default;

void TMainForm::connectHandlers()
{
    connect(&title_, &AppTitle::changed, this, &QWidget::setWindowIconText);
    connect(Notebook1, &QStackedWidget::currentChanged, this, &TMainForm::Notebook1PageChanged);
    connect(TestJednRB, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            TestJednRBClick();
    });
    connect(TestAdrRB, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            TestAdrRBClick();
    });
    connect(TestSoubRB, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            TestSoubRBClick();
    });
    // Of each group only the checked option is a tab stop; the arrow keys move within it.
    for (QRadioButton* rb : {TestJednRB, TestAdrRB, TestSoubRB, KompletniTestRB, RychlyTestRB}) {
        rb->setFocusPolicy(rb->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
        connect(rb, &QRadioButton::toggled, rb,
                [rb](bool on) { rb->setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus); });
    }
    connect(AdrProchBtn, &QPushButton::clicked, this, &TMainForm::AdrProchBtnClick);
    connect(SoubProchBtn, &QPushButton::clicked, this, &TMainForm::SoubProchBtnClick);
    connect(StartBtn, &QPushButton::clicked, this, &TMainForm::StartBtnClick);
    connect(OprogBtn, &QPushButton::clicked, this, &TMainForm::OprogBtnClick);
    connect(KonecBtn, &QPushButton::clicked, this, &QWidget::close);
    connect(PauseBtn, &QPushButton::clicked, this, &TMainForm::PauseBtnClick);
    connect(UkoncitBtn, &QPushButton::clicked, this, &TMainForm::UkoncitBtnClick);
    connect(SaveLogBtn, &QPushButton::clicked, this, &TMainForm::SaveLogBtnClick);
    connect(VyslTestuOKBtn, &QPushButton::clicked, this, &TMainForm::VyslTestuOKBtnClick);
    connect(BitBtn2, &QPushButton::clicked, this, &TMainForm::BitBtn2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TMainForm::BitBtn1Click);
    connect(PodrobnostiBtn, &QPushButton::clicked, this, &TMainForm::PodrobnostiBtnClick);
    connect(MainTimer, &QTimer::timeout, this, &TMainForm::MainTimerTimer);
    connect(SoubTimer, &QTimer::timeout, this, [this] { engine_.SoubTimerTimer(); });
}

// --- Handlers of the window -------------------------------------------------------------

void TMainForm::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !activated_) {
        activated_ = true;
        FormActivate();
    }
}

void TMainForm::FormActivate()
{
    // Never during a run: the settings page, with Start on it, must stay out of reach.
    if (!engine_.running())
        engine_.showPage(engine::Page::NastaveniTestu);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    if (details_ != nullptr)
        details_->close();
    // A run may be on the stack below this event: it ends at its next check, and only when
    // StartBtnClick has returned may the program end and its objects go.
    if (engine_.running())
        endAfterRun_ = true;
    else
        emit programEnds();
}

bool TMainForm::FormCloseQuery()
{
    return engine_.FormCloseQuery();
}

void TMainForm::keyPressEvent(QKeyEvent* event)
{
    // Keys no control took: Enter presses the focused button or the page's default button,
    // Esc the page's cancel button.
    const int page = Notebook1->currentIndex();
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        QPushButton* target = focused != nullptr && focused->isVisible() ? focused : defaultButtonOf(page);
        if (target != nullptr && target->isEnabled())
            target->click();
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (page == static_cast<int>(engine::Page::Test) && UkoncitBtn->isEnabled())
            UkoncitBtn->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TMainForm::Notebook1PageChanged(int page)
{
    MainTimer->stop();
    SoubTimer->stop();
    if (QWidget* first = firstControlOf(page))
        first->setFocus(Qt::OtherFocusReason);
}

void TMainForm::enableRows(bool jedn, bool adr, bool soub)
{
    JednE->setEnabled(jedn);
    PovrchCB->setEnabled(jedn);
    AdrE->setEnabled(adr);
    AdrProchBtn->setEnabled(adr);
    SoubE->setEnabled(soub);
    SoubProchBtn->setEnabled(soub);
}

void TMainForm::TestJednRBClick()
{
    enableRows(true, false, false);
}

void TMainForm::TestAdrRBClick()
{
    enableRows(false, true, false);
}

void TMainForm::TestSoubRBClick()
{
    enableRows(false, false, true);
}

void TMainForm::AdrProchBtnClick()
{
    if (dirSelectForm_ != nullptr && dirSelectForm_->exec() == QDialog::Accepted)
        AdrE->setText(QString::fromStdString(dirSelectForm_->module().ZvolenyAdr));
}

void TMainForm::SoubProchBtnClick()
{
    bool accepted = OpenDialog1->exec() == QDialog::Accepted;
    // The dialog lives on between uses, and so does the popup of its name completion: left
    // up after an Enter, it would take the next Enter meant for the main window.
    for (QCompleter* completer : OpenDialog1->findChildren<QCompleter*>()) {
        if (completer->popup() != nullptr)
            completer->popup()->hide();
    }
    if (accepted && !OpenDialog1->selectedFiles().isEmpty())
        SoubE->setText(OpenDialog1->selectedFiles().constFirst());
}

void TMainForm::StartBtnClick()
{
    engine::TestSettings settings;
    settings.object = TestJednRB->isChecked() ? engine::TestObject::Jednotka
        : TestAdrRB->isChecked()              ? engine::TestObject::Adresar
                                              : engine::TestObject::Soubor;
    settings.JednE = JednE->currentText().toStdString();
    settings.AdrE = AdrE->text().toStdString();
    settings.SoubE = SoubE->text().toStdString();
    settings.RychlyTest = RychlyTestRB->isChecked();
    settings.CelyPovrch = TestJednRB->isChecked() && PovrchCB->isChecked();
    // The details are of the last finished run; the new one replaces them.
    if (details_ != nullptr)
        details_->close();
    PodrobnostiBtn->setEnabled(false);
    engine_.setMapDamage(MapovatCB->isChecked());
    // Verifying also computes the SHA256SUMS that the details window can save.
    engine::VerifyRequest verify;
    if (OveritSouctyCB->isChecked() && OveritSouctyCB->isEnabled()) {
        verify.found = true;
        verify.write = engine::HashAlgorithm::Sha256;
    }
    engine_.setVerification(verify);
    engine_.StartBtnClick(settings);
    taskbar_->hide();
    if (engine_.lastOutcome() == engine::RunOutcome::Finished)
        PodrobnostiBtn->setEnabled(true);
    if (endAfterRun_) {
        endAfterRun_ = false;
        emit programEnds();
    }
}

void TMainForm::MainTimerTimer()
{
    engine_.MainTimerTimer();
    // The task bar follows the "Hotovo" title, which only the read phase shows.
    const engine::RunState& run = engine_.state();
    if (engine_.running() && run.Bezi && run.FazeCteni)
        taskbar_->show(engine_.view().test.Prubeh.value() / 100.0);
}

void TMainForm::PauseBtnClick()
{
    engine_.PauseBtnClick();
}

void TMainForm::UkoncitBtnClick()
{
    engine_.UkoncitBtnClick();
}

void TMainForm::SaveLogBtnClick()
{
    if (SaveDialog1->exec() != QDialog::Accepted || SaveDialog1->selectedFiles().isEmpty())
        return;
    const QString path = SaveDialog1->selectedFiles().constFirst();
    engine::SaveLogBtnClick(pelun_, engine_.view().result, path.toStdString(), savingFrom(this, path));
}

void TMainForm::VyslTestuOKBtnClick()
{
    engine_.VyslTestuOKBtnClick();
}

void TMainForm::BitBtn2Click()
{
    engine_.BitBtn2Click();
}

void TMainForm::BitBtn1Click()
{
    engine_.BitBtn1Click();
}

void TMainForm::OprogBtnClick()
{
    emit aboutRequested();
}

void TMainForm::PodrobnostiBtnClick()
{
    if (details_ == nullptr)
        details_ = new DetailsWindow(engine_, pelun_, this);
    details_->showRun();
}

// --- Host of the engine's runs -----------------------------------------------------------

void TMainForm::processEvents(engine::YieldPoint)
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TMainForm::waitForEvents(engine::YieldPoint)
{
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void TMainForm::wake()
{
    if (dispatcher_ != nullptr)
        dispatcher_->wakeUp();
}

void TMainForm::startMainTimer()
{
    MainTimer->start();
}

void TMainForm::stopMainTimer()
{
    MainTimer->stop();
}

bool TMainForm::mainTimerActive() const
{
    return MainTimer->isActive();
}

void TMainForm::startSoubTimer()
{
    SoubTimer->start();
}

void TMainForm::stopSoubTimer()
{
    SoubTimer->stop();
}

void TMainForm::showPage(engine::Page page)
{
    Notebook1->setCurrentIndex(static_cast<int>(page));
}

void TMainForm::setTitle(const std::string& title)
{
    title_.set(QString::fromStdString(title));
}

void TMainForm::beep()
{
    QApplication::beep();
}

} // namespace ui
