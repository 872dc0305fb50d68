#include "ui/dirselec.h"

#include "common/pelun.h"
#include "platform/filesystem.h"
#include "ui/directory_list.h"
#include "ui/dirselec_module.h"
#include "ui/dirselec_texts.h"
#include "ui/drive_combo.h"
#include "ui/elided.h"
#include "ui/glyphs.h"
#include "ui/window_place.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace ui {

namespace {

QLabel* label(QWidget* parent, const char* name, const char* text, int x, int y)
{
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->move(x, y);
    l->adjustSize();
    return l;
}

std::string str(const QString& s)
{
    return s.toStdString();
}

} // namespace

TPSDirSelectForm::TPSDirSelectForm(DirSelectModule& module, common::Pelun& pelun, QWidget* parent)
    : QDialog(parent), module_(module), pelun_(pelun), driveDirectories_(pelun.drives()), looks_(kListingBound)
{
    setObjectName(QStringLiteral("PSDirSelectForm"));
    setWindowTitle(QString::fromUtf8(texts::kVyberAdresare));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(363, 258);
    buildControls();
    FormCreate();
}

void TPSDirSelectForm::buildControls()
{
    label(this, "Label1", texts::kJmenoAdresare, 8, 8);
    adr_ = new QLineEdit(this);
    adr_->setObjectName(QStringLiteral("adr"));
    adr_->setGeometry(8, 24, 345, 21);
    label(this, "Label2", texts::kAdresare, 8, 64);
    DirSez_ = new DirectoryList(this);
    DirSez_->setObjectName(QStringLiteral("DirSez"));
    DirSez_->setGeometry(5, 81, 244, 162);
    OKBtn_ = new QPushButton(stockGlyph(StockGlyph::Ok, this), QString::fromUtf8(texts::kDirOK), this);
    OKBtn_->setObjectName(QStringLiteral("OKBtn"));
    OKBtn_->setGeometry(256, 80, 97, 25);
    OKBtn_->setDefault(true);
    StornoBtn_ = new QPushButton(stockGlyph(StockGlyph::Cancel, this), QString::fromUtf8(texts::kStorno), this);
    StornoBtn_->setObjectName(QStringLiteral("StornoBtn"));
    StornoBtn_->setGeometry(256, 112, 97, 25);
    ADRL_ = new QLabel(this);
    ADRL_->setObjectName(QStringLiteral("ADRL"));
    ADRL_->setGeometry(256, 168, 241, 13);
    ADRL_->setVisible(false);
    label(this, "Label3", texts::kJednotky, 256, 208);
    drivesezn_ = new ElidedComboBox(this);
    drivesezn_->setObjectName(QStringLiteral("drivesezn"));
    drivesezn_->setGeometry(256, 224, 97, 19);
    fillDriveCombo(*drivesezn_, pelun_.drives());

    setTabOrder(OKBtn_, StornoBtn_);
    setTabOrder(StornoBtn_, adr_);
    setTabOrder(adr_, drivesezn_);
    setTabOrder(drivesezn_, DirSez_);
    OKBtn_->setFocus(); // where the first showing starts

    connect(adr_, &QLineEdit::textChanged, this, &TPSDirSelectForm::adrChange);
    connect(DirSez_, &DirectoryList::changed, this, &TPSDirSelectForm::dirsezChange);
    connect(drivesezn_, &QComboBox::currentIndexChanged, this, &TPSDirSelectForm::driveseznChange);
    connect(OKBtn_, &QPushButton::clicked, this, &TPSDirSelectForm::OKBtnClick);
    connect(StornoBtn_, &QPushButton::clicked, this, &TPSDirSelectForm::StornoBtnClick);
}

void TPSDirSelectForm::FormCreate()
{
    ADRL_->setText(QString::fromStdString(platform::currentDirectory()));
    adr_->setText(ADRL_->text());
    adrChange(); // also when the text was already the same
}

void TPSDirSelectForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    centreOnScreen(*this);
    FormActivate();
}

void TPSDirSelectForm::FormActivate()
{
    if (!looks_.setCurrentDirectory(module_.PosledniAdr))
        module_.PosledniAdr = module_.PocatecniAdr;
    if (looks_.directoryExists(module_.PosledniAdr)) {
        looks_.setCurrentDirectory(module_.PosledniAdr);
        driveDirectories_.remember(platform::currentDirectory());
        DirSez_->setDirectory(QString::fromStdString(module_.PosledniAdr));
        showDriveOfList();
    }
}

void TPSDirSelectForm::dirsezChange()
{
    ADRL_->setText(DirSez_->directory());
    adr_->setText(ADRL_->text());
    module_.ZvolenyAdr = str(ADRL_->text());
}

void TPSDirSelectForm::adrChange()
{
    module_.ZvolenyAdr = str(adr_->text());
}

void TPSDirSelectForm::driveseznChange()
{
    const QString letter = drivesezn_->currentData().toString();
    if (letter.isEmpty())
        return;
    const std::string dir = driveDirectories_.currentOf(letter.at(0).toLatin1());
    if (!looks_.setCurrentDirectory(dir)) {
        // A drive without a medium cannot be entered: the pair stays on the directory shown.
        showDriveOfList();
        return;
    }
    driveDirectories_.remember(dir);
    DirSez_->setDirectory(QString::fromStdString(dir));
}

void TPSDirSelectForm::showDriveOfList()
{
    selectDriveOf(*drivesezn_, pelun_.drives(), str(DirSez_->directory()));
}

void TPSDirSelectForm::OKBtnClick()
{
    const bool exists = looks_.directoryExists(module_.ZvolenyAdr);
    if (exists)
        module_.PosledniAdr = platform::currentDirectory();
    if (!looks_.setCurrentDirectory(module_.PocatecniAdr))
        pelun_.PS_InternalError(texts::kStartDirInaccessibleNumber,
                                texts::kAdresarQuoted + module_.PocatecniAdr + texts::kNeniPristupnyQuoted);
    if (!looks_.directoryExists(module_.ZvolenyAdr)) {
        pelun_.PS_ShowError(texts::kZvolenyNeexistuje);
        return; // the dialog stays open with what the user left in it
    }
    accept();
}

void TPSDirSelectForm::StornoBtnClick()
{
    reject();
}

} // namespace ui
