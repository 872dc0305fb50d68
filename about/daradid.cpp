#include "about/daradid.h"

#include "about/about_look.h"
#include "about/daradid_texts.h"
#include "about/link_label.h"
#include "about/psforms.h"
#include "about/psnet.h"
#include "about/scope_exit.h"
#include "archive/pskomp.h"
#include "archive/pskomp_texts.h"
#include "platform/filesystem.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>

namespace about {

namespace {

constexpr int kPageAutori = 0;
constexpr int kPageProdukty = 1;
constexpr int kPageAdresa = 2;
constexpr int kPageCoJe = 3;
constexpr int kPageLicence = 4;

} // namespace

TDaRadidF::TDaRadidF(archive::Pskomp& psk, PsNet& net, common::Pelun& pelun, ShowCatalogue showCatalogue,
                     QWidget* parent)
    : QDialog(parent), psk_(psk), net_(net), showCatalogue_(std::move(showCatalogue))
{
    if (!showCatalogue_) {
        ownCatalogue_ = std::make_unique<PsForms>(psk, pelun);
        showCatalogue_ = [this](QWidget* owner) { return ownCatalogue_->PSF_Produkty(owner); };
    }
    setObjectName(QStringLiteral("DaRadidF"));
    setWindowTitle(QString::fromUtf8(texts::kDaRadidCaption));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(591, 319);
    buildOutside();
    buildAuthorsPage();
    buildProductsPage();
    buildAddressPage();
    buildTextPage("Memo7", QRect(6, 8, 363, 265), true);
    buildTextPage("Memo6", QRect(10, 8, 359, 265), false);
    buildButtons();
}

TDaRadidF::~TDaRadidF() = default;

void TDaRadidF::buildOutside()
{
    GroupBox = new QGroupBox(this);
    GroupBox->setObjectName(QStringLiteral("GroupBox"));
    GroupBox->setGeometry(8, 8, 380, 305);
    // The pages fill what the group box's frame and title leave free.
    Notebook = new QStackedWidget(GroupBox);
    Notebook->setObjectName(QStringLiteral("Notebook"));
    Notebook->setGeometry(2, 15, 376, 288);

    Image3 = new QLabel(this);
    Image3->setObjectName(QStringLiteral("Image3"));
    Image3->setGeometry(392, 16, 190, 100);
    Image3->setPixmap(makerLogo());
    PSWWWL1 = addLink("PSWWWL1", this, QRect(392, 104, 193, 13), Qt::AlignHCenter);
    connect(PSWWWL1, &LinkLabel::clicked, this, &TDaRadidF::PSWWWL2Click);
}

void TDaRadidF::buildButtons()
{
    struct Entry {
        QPushButton** button;
        const char* name;
        const char* caption;
        QIcon icon;
        void (TDaRadidF::*handler)();
    };
    const Entry buttons[] = {
        {&ProduktBtn, "ProduktBtn", texts::kProduktBtn, glyph(Glyph::Products), &TDaRadidF::ProduktBtnClick},
        {&AdresaBtn, "AdresaBtn", texts::kAdresaBtn, glyph(Glyph::Contact), &TDaRadidF::AdresaBtnClick},
        {&CoJeBtn, "CoJeBtn", texts::kCoJeBtn, glyph(Glyph::WhatIs), &TDaRadidF::CoJeBtnClick},
        {&LicenceBtn, "LicenceBtn", texts::kLicenceBtn, glyph(Glyph::Licence), &TDaRadidF::LicenceBtnClick},
        {&AutoriBtn, "AutoriBtn", texts::kAutoriBtn, glyph(Glyph::Authors), &TDaRadidF::AutoriBtnClick},
        {&ZavritBtn, "ZavritBtn", texts::kZavritBtn,
         style()->standardIcon(QStyle::SP_DialogCancelButton, nullptr, this), &TDaRadidF::ZavritBtnClick},
    };
    int top = 128;
    for (const Entry& entry : buttons) {
        QPushButton* button = glyphButton(entry.name, entry.caption, entry.icon, 16, this);
        button->setGeometry(400, top, 185, 25);
        connect(button, &QPushButton::clicked, this, entry.handler);
        *entry.button = button;
        top += 32;
    }
    AutoriBtn->setDefault(true);
}

LinkLabel* TDaRadidF::addLink(const char* name, QWidget* parent, QRect geometry, Qt::Alignment alignment)
{
    auto* link = new LinkLabel(QString::fromLatin1(name), parent);
    link->setGeometry(geometry);
    link->setAlignment(alignment | Qt::AlignVCenter);
    return link;
}

void TDaRadidF::_Show(const QString& title, const QString& version, const QStringList& lines)
{
    AppTitle->setText(title);
    AppTitle->adjustSize();
    appVersion->setText(version);
    appVersion->adjustSize();
    AppDescr->setPlainText(lines.join(QLatin1Char('\n')));
}

void TDaRadidF::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    FormShow();
    // Later shows open where the box was left; the dialog keeps its place between shows.
    if (!shownBefore_)
        centreOnScreen();
    shownBefore_ = true;
}

void TDaRadidF::centreOnScreen()
{
    QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->geometry();
    const QSize outer = frameGeometry().size();
    move(area.left() + (area.width() - outer.width()) / 2, area.top() + (area.height() - outer.height()) / 2);
}

void TDaRadidF::keyPressEvent(QKeyEvent* event)
{
    // Esc is the licence button's, as the dialog's cancel button; it does not close the box.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        LicenceBtn->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TDaRadidF::FormShow()
{
    showPage(texts::kTitleAutori, kPageAutori);
    const QString www = QString::fromStdString(net_.PSWWW);
    PSWWWL1->setText(www);
    PSWWWL2->setText(www);
    PSWWWL3->setText(www);
    PSWWW2L1->setText(QString::fromStdString(net_.PSWWW2));
}

void TDaRadidF::showPage(const char* title, int page)
{
    GroupBox->setTitle(QString::fromUtf8(title));
    Notebook->setCurrentIndex(page);
}

void TDaRadidF::ProduktBtnClick()
{
    if (psk_.PSK_GetPelunPskArchNumber() >= 0) {
        showCatalogue_(this);
        accept();
        return;
    }
    if (showCatalogueWithOwnArchive()) {
        accept();
        return;
    }
    showPage(texts::kTitleProdukty, kPageProdukty);
}

// The maker's archive is opened for the catalogue only, and closed again however the
// catalogue ends.
bool TDaRadidF::showCatalogueWithOwnArchive()
{
    const std::string registered = psk_.PSK_GetPelunPskPath();
    if (registered == archive::texts::kNotRegistered || !platform::fileExists(registered))
        return false;
    if (psk_.PSK_OpenPelunPsk(1) < 0)
        return false;
    ScopeExit close([this] { psk_.PSK_ClosePelunPskr(); });
    return showCatalogue_(this);
}

void TDaRadidF::AdresaBtnClick()
{
    showPage(texts::kTitleAdresa, kPageAdresa);
}

void TDaRadidF::CoJeBtnClick()
{
    showPage(texts::kTitleCoJe, kPageCoJe);
}

void TDaRadidF::LicenceBtnClick()
{
    showPage(texts::kTitleLicence, kPageLicence);
}

void TDaRadidF::AutoriBtnClick()
{
    showPage(texts::kTitleAutori, kPageAutori);
}

void TDaRadidF::ZavritBtnClick()
{
    reject();
}

void TDaRadidF::PSWWWL2Click()
{
    net_.PS_OpenWWW();
}

void TDaRadidF::PSWWW2L1Click()
{
    net_.PS_OpenWWW2();
}

void TDaRadidF::EMailLabelClick()
{
    net_.PS_OpenEMail();
}

} // namespace about
