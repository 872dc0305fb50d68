// Rendering the engine's view model. It runs after every chunk read, so each widget is
// touched only when what it shows has changed.

#include "ui/vorkan_f.h"

#include "common/encoding.h"
#include "engine/vorkan_engine.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

namespace ui {

namespace {

void showText(QLabel* label, std::string& shown, const std::string& text)
{
    if (shown == text)
        return;
    shown = text;
    label->setText(QString::fromStdString(text));
}

} // namespace

void TMainForm::viewChanged()
{
    renderTestPage();
    renderResult();
}

void TMainForm::renderTestPage()
{
    const engine::TestPageView& v = engine_.view().test;
    const std::pair<QLabel*, const std::string*> labels[] = {
        {druhTOL, &v.druhTOL},     {TOL, &v.TOL},
        {TypTestuL, &v.TypTestuL}, {DobaTrvL, &v.DobaTrvL},
        {DobaCelkL, &v.DobaCelkL}, {DobaZbyvL, &v.DobaZbyvL},
        {PrumRychL, &v.PrumRychL}, {MaxRychL, &v.MaxRychL},
        {AktRychL, &v.AktRychL},   {StavL, &v.StavL},
        {Label3, &v.Label3},       {SoubJML, &v.SoubJML},
    };
    // Label3 starts with its caption; the others start empty.
    if (shown_.labels.empty()) {
        for (const auto& [label, text] : labels)
            shown_.labels.push_back(label->text().toStdString());
    }
    std::size_t i = 0;
    for (const auto& [label, text] : labels)
        showText(label, shown_.labels[i++], *text);
    PrubehSoub->setValue(v.PrubehSoub.value());
    Prubeh->setValue(v.Prubeh.value());
    if (shown_.pauseCaption != v.PauseBtn) {
        shown_.pauseCaption = v.PauseBtn;
        PauseBtn->setText(QString::fromStdString(v.PauseBtn));
    }
    if (shown_.ukoncitEnabled != v.UkoncitBtnEnabled) {
        shown_.ukoncitEnabled = v.UkoncitBtnEnabled;
        UkoncitBtn->setEnabled(v.UkoncitBtnEnabled);
    }
}

void TMainForm::renderResult()
{
    const engine::ResultView& r = engine_.view().result;
    if (shown_.report != r.VyslTestu) {
        shown_.report = r.VyslTestu;
        QStringList lines;
        for (const auto& line : r.VyslTestu)
            lines << QString::fromStdString(line);
        VyslTestu->setPlainText(lines.join(QLatin1Char('\n')));
    }
    // The list only grows during a run and is emptied when the next one starts.
    if (r.ChybSezn.size() < shown_.errors) {
        ChybSezn->clear();
        shown_.errors = 0;
    }
    for (; shown_.errors < r.ChybSezn.size(); ++shown_.errors)
        ChybSezn->addItem(QString::fromStdString(common::shownName(r.ChybSezn[shown_.errors])));
    if (shown_.errorCount != r.PocetchybL || shown_.errorCountRed != r.PocetchybRed) {
        shown_.errorCount = r.PocetchybL;
        shown_.errorCountRed = r.PocetchybRed;
        PocetchybL->setText(QString::fromStdString(r.PocetchybL));
        QPalette palette = PocetchybL->palette();
        palette.setColor(QPalette::WindowText, r.PocetchybRed ? Qt::red : Qt::black);
        PocetchybL->setPalette(palette);
    }
}

QWidget* TMainForm::firstControlOf(int page) const
{
    switch (static_cast<engine::Page>(page)) {
    case engine::Page::Test: return PauseBtn;
    case engine::Page::VysledekTestu: return VyslTestu;
    case engine::Page::NastaveniTestu:
        return TestJednRB->isChecked() ? TestJednRB : (TestAdrRB->isChecked() ? TestAdrRB : TestSoubRB);
    case engine::Page::SeznamChyb: return ChybSezn;
    }
    return nullptr;
}

QPushButton* TMainForm::defaultButtonOf(int page) const
{
    switch (static_cast<engine::Page>(page)) {
    case engine::Page::Test: return nullptr;
    case engine::Page::VysledekTestu: return VyslTestuOKBtn;
    case engine::Page::NastaveniTestu: return StartBtn;
    case engine::Page::SeznamChyb: return BitBtn1;
    }
    return nullptr;
}

} // namespace ui
