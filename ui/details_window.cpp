#include "ui/details_window.h"

#include "engine/details_view.h"
#include "engine/save_log.h"
#include "ui/details_texts.h"
#include "ui/glyphs.h"
#include "ui/save_wait.h"
#include "ui/speed_curve.h"
#include "ui/window_place.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ui {

namespace {

// stretched: the column that takes the width the others leave.
QTableWidget* table(QWidget* parent, const char* name, std::initializer_list<const char*> headers, int stretched)
{
    auto* t = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    t->setObjectName(QString::fromLatin1(name));
    QStringList titles;
    for (const char* h : headers)
        titles << QString::fromUtf8(h);
    t->setHorizontalHeaderLabels(titles);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setWordWrap(false);
    t->verticalHeader()->setVisible(false);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    t->horizontalHeader()->setStretchLastSection(stretched == t->columnCount() - 1);
    if (stretched != t->columnCount() - 1)
        t->horizontalHeader()->setSectionResizeMode(stretched, QHeaderView::Stretch);
    return t;
}

void setRow(QTableWidget* t, int row, std::initializer_list<const std::string*> cells, std::initializer_list<int> right)
{
    int column = 0;
    for (const std::string* cell : cells) {
        auto* item = new QTableWidgetItem(QString::fromStdString(*cell));
        item->setToolTip(item->text()); // a long path or error text can be read in full
        if (std::find(right.begin(), right.end(), column) != right.end())
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        t->setItem(row, column++, item);
    }
}

QGroupBox* box(QWidget* parent, const char* title, QWidget* content, QWidget* below = nullptr)
{
    auto* b = new QGroupBox(QString::fromUtf8(title), parent);
    auto* layout = new QVBoxLayout(b);
    layout->addWidget(content);
    if (below != nullptr)
        layout->addWidget(below);
    return b;
}

const QSize kPreferredSize(760, 680);
const QSize kContentMinimum(560, 520);
const QSize kAssumedDecoration(8, 40);

} // namespace

DetailsWindow::DetailsWindow(const engine::VorkanEngine& engine, common::Pelun& pelun, QWidget* parent)
    : QWidget(parent, Qt::Window), engine_(engine), pelun_(pelun)
{
    setObjectName(QStringLiteral("DetailsWindow"));
    setWindowTitle(QString::fromUtf8(texts::kPodrobnostiCaption));
    curve_ = new SpeedCurve(this);
    curve_->setObjectName(QStringLiteral("SpeedCurve"));
    findings_ = table(this, "FindingsTable",
                      {texts::kSloupecSoubor, texts::kSloupecDruh, texts::kSloupecPozice, texts::kSloupecNecitelne,
                       texts::kSloupecPopis},
                      4);
    slow_ = table(this, "SlowTable", {texts::kSloupecSoubor, texts::kSloupecPoziceCteni, texts::kSloupecDoba}, 0);
    slowDropped_ = new QLabel(this);
    slowDropped_->setObjectName(QStringLiteral("SlowDropped"));
    hits_ =
        table(this, "HitsTable", {texts::kSloupecOd, texts::kSloupecDo, texts::kSloupecCo, texts::kSloupecVSouboru}, 2);
    hitsDropped_ = new QLabel(this);
    hitsDropped_->setObjectName(QStringLiteral("HitsDropped"));
    notFromMedium_ = new QLabel(this);
    notFromMedium_->setObjectName(QStringLiteral("NotFromMedium"));
    notFromMediumWhy_ = new QLabel(this);
    notFromMediumWhy_->setObjectName(QStringLiteral("NotFromMediumWhy"));
    notFromMediumWhy_->setWordWrap(true);
    vanished_ = new QLabel(this);
    vanished_->setObjectName(QStringLiteral("Vanished"));
    for (QLabel* l : {slowDropped_, hitsDropped_, notFromMedium_, notFromMediumWhy_, vanished_})
        l->setTextFormat(Qt::PlainText);

    auto* origin = new QWidget(this);
    auto* originLayout = new QVBoxLayout(origin);
    originLayout->setContentsMargins(0, 0, 0, 0);
    originLayout->addWidget(notFromMedium_);
    originLayout->addWidget(notFromMediumWhy_);
    originLayout->addWidget(vanished_);

    manifests_ = new QLabel(this);
    manifests_->setObjectName(QStringLiteral("Manifests"));
    manifests_->setTextFormat(Qt::PlainText);
    manifests_->setWordWrap(true);
    saveManifest_ = new QPushButton(glyph(Glyph::Save), QString::fromUtf8(texts::kUlozitSoucty), this);
    saveManifest_->setObjectName(QStringLiteral("SaveManifestBtn"));
    connect(saveManifest_, &QPushButton::clicked, this, &DetailsWindow::saveManifest);

    saveJson_ = new QPushButton(glyph(Glyph::Save), QString::fromUtf8(texts::kUlozitJson), this);
    saveJson_->setObjectName(QStringLiteral("SaveJsonBtn"));
    auto* close = new QPushButton(QString::fromUtf8(texts::kZavrit), this);
    close->setObjectName(QStringLiteral("CloseBtn"));
    connect(saveJson_, &QPushButton::clicked, this, &DetailsWindow::saveJson);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(saveManifest_);
    buttons->addWidget(saveJson_);
    buttons->addWidget(close);

    // On a small screen, or at a large scale factor, the window fits the screen and its
    // content scrolls.
    auto* content = new QWidget;
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->addWidget(box(content, texts::kRychlostCteni, curve_), 3);
    contentLayout->addWidget(box(content, texts::kChybneSouboryBox, findings_), 3);
    contentLayout->addWidget(box(content, texts::kPomalaCteniBox, slow_, slowDropped_), 2);
    hitsBox_ = box(content, texts::kZasahyBox, hits_, hitsDropped_);
    contentLayout->addWidget(hitsBox_, 2);
    contentLayout->addWidget(box(content, texts::kPuvodDatBox, origin));
    contentLayout->addWidget(box(content, texts::kKontrolniSouctyBox, manifests_));
    content->setMinimumSize(kContentMinimum);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("DetailsScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(content);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addLayout(buttons);
    resize(kPreferredSize);
}

// The preferred size, within the screen's free area with room for the window's frame.
void DetailsWindow::fitScreen()
{
    const QScreen* s = screen();
    if (s == nullptr)
        return;
    const QRect frame = frameGeometry();
    const QRect client = geometry();
    // Before the window manager framed it, assume a usual title bar.
    QSize decoration(frame.width() - client.width(), frame.height() - client.height());
    if (decoration.isNull())
        decoration = kAssumedDecoration;
    resize(kPreferredSize.boundedTo(s->availableGeometry().size() - decoration));
}

void DetailsWindow::showRun()
{
    fill(engine::detailsView(engine_));
    if (!placed_)
        fitScreen();
    show();
    // Where the user moved it, it stays.
    if (!placed_) {
        fitScreen();
        centreOnScreen(*this);
        placed_ = true;
    }
    raise();
    activateWindow();
}

void DetailsWindow::fill(const engine::DetailsView& view)
{
    curve_->setCurve(view.curve);
    findings_->setRowCount(static_cast<int>(view.findings.size()));
    int row = 0;
    for (const engine::FindingRow& f : view.findings)
        setRow(findings_, row++, {&f.path, &f.kind, &f.offset, &f.unreadable, &f.error}, {2, 3});
    slow_->setRowCount(static_cast<int>(view.slow.size()));
    row = 0;
    for (const engine::SlowRow& s : view.slow)
        setRow(slow_, row++, {&s.path, &s.offset, &s.seconds}, {1, 2});
    hits_->setRowCount(static_cast<int>(view.hits.size()));
    row = 0;
    for (const engine::HitRow& h : view.hits)
        setRow(hits_, row++, {&h.start, &h.end, &h.what, &h.fileOffset}, {0, 1, 3});
    // Only a scan of a device says what lies on its damage.
    hitsBox_->setVisible(!view.hits.empty());
    saveJson_->setEnabled(view.jsonSavable);
    hitsDropped_->setText(QString::fromStdString(view.hitsDropped));
    hitsDropped_->setVisible(!view.hitsDropped.empty());
    findings_->resizeColumnsToContents();
    // A long path must not push the other columns out of sight.
    findings_->setColumnWidth(0, std::min(findings_->columnWidth(0), 320));
    slow_->resizeColumnsToContents();
    hits_->resizeColumnsToContents();
    for (QTableWidget* t : {findings_, slow_, hits_})
        t->setCurrentCell(-1, -1);
    slowDropped_->setText(QString::fromStdString(view.slowDropped));
    slowDropped_->setVisible(!view.slowDropped.empty());
    notFromMedium_->setText(QString::fromStdString(view.notFromMedium));
    notFromMediumWhy_->setText(QString::fromStdString(view.notFromMediumWhy));
    QStringList manifests;
    for (const std::string& line : view.manifests)
        manifests << QString::fromStdString(line);
    if (!view.manifestCounts.empty())
        manifests << QString::fromStdString(view.manifestCounts);
    manifests_->setText(manifests.isEmpty() ? QString::fromUtf8(texts::kZadneSoucty) : manifests.join('\n'));
    saveManifest_->setEnabled(view.manifestToSave);
    vanished_->setText(QString::fromStdString(view.vanished));
    vanished_->setVisible(!view.vanished.empty());
}

// The program asks before replacing a file itself, in its own dialog. Empty when cancelled.
QString DetailsWindow::chosenSaveName(const char* name, QStringList filters, const QString& suffix,
                                      const QString& proposed)
{
    QFileDialog dialog(this);
    dialog.setObjectName(QString::fromUtf8(name));
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(suffix);
    if (!proposed.isEmpty())
        dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void DetailsWindow::saveJson()
{
    QString path = chosenSaveName("SaveJsonDialog",
                                  {QString::fromUtf8(texts::kFilterJson), QString::fromUtf8(texts::kFilterVsechnyJson)},
                                  QStringLiteral("json"), {});
    if (!path.isEmpty())
        engine::saveJsonAs(pelun_, engine_, path.toStdString(), savingFrom(this, path));
}

void DetailsWindow::saveManifest()
{
    QString path = chosenSaveName(
        "SaveManifestDialog", {QString::fromUtf8(texts::kFilterSoucty), QString::fromUtf8(texts::kFilterVsechnyJson)},
        {}, QStringLiteral("SHA256SUMS"));
    if (!path.isEmpty())
        engine::saveManifestAs(pelun_, engine_, path.toStdString(), savingFrom(this, path));
}

} // namespace ui
