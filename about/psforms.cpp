#include "about/psforms.h"

#include "about/about_look.h"
#include "about/picture_view.h"
#include "about/psforms_texts.h"
#include "about/scope_exit.h"
#include "archive/pskomp.h"
#include "common/pelun.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>

namespace about {

namespace {

constexpr int kClientWidth = 615;
constexpr int kNormalInformation = 89;
// What the list inside the information box lacks of the box's height.
constexpr int kPopisInset = 24;
constexpr int kLateMove = 15;

QString qs(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

PsForms::PsForms(archive::Pskomp& psk, common::Pelun& pelun, ScreenArea screen)
    : psk_(psk), pelun_(pelun), screen_(std::move(screen))
{}

QRect PsForms::screenArea() const
{
    if (screen_)
        return screen_();
    QScreen* primary = QGuiApplication::primaryScreen();
    return primary != nullptr ? primary->geometry() : QRect(0, 0, 640, 480);
}

QRect PsForms::availableArea() const
{
    if (screen_)
        return screen_();
    QScreen* primary = QGuiApplication::primaryScreen();
    return primary != nullptr ? primary->availableGeometry() : QRect(0, 0, 640, 480);
}

bool PsForms::PSF_Produkty(QWidget* owner)
{
    TPSF_ProduktyPSForm form(*this, owner);
    window_ = &form;
    ScopeExit forget([this] { window_ = nullptr; });
    form.resetLayout();
    const bool shown = form.exec() != TPSF_ProduktyPSForm::kFailed;
    // Under a window manager the focus does not always return by itself, and the keyboard
    // user is left with a window that takes no keys until a click.
    if (owner != nullptr && owner->isVisible())
        owner->window()->activateWindow();
    return shown;
}

TPSF_ProduktyPSForm::TPSF_ProduktyPSForm(PsForms& module, QWidget* parent) : QDialog(parent), m_(module)
{
    setObjectName(QStringLiteral("PSF_ProduktyPSForm"));
    setWindowTitle(qs(texts::kProduktyCaption));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    build();
    buildInformation();
    buildButtons();
    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(55);
    connect(Timer, &QTimer::timeout, this, &TPSF_ProduktyPSForm::TimerTimer);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(10);
    connect(Timer2, &QTimer::timeout, this, &TPSF_ProduktyPSForm::Timer2Timer);
    setFixedSize(kClientWidth, kNormalHeight);
}

void TPSF_ProduktyPSForm::build()
{
    GroupBox1 = new QGroupBox(qs(texts::kGroupBox1), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 0, 177, 321);
    prodSezn = new QListWidget(GroupBox1);
    prodSezn->setObjectName(QStringLiteral("prodSezn"));
    prodSezn->setGeometry(8, 16, 161, 297);
    setRowHeight(prodSezn, 13);
    prodSezn->installEventFilter(this);
    connect(prodSezn, &QListWidget::itemSelectionChanged, this, &TPSF_ProduktyPSForm::prodSeznClick);

    AplGB = new QGroupBox(qs(texts::kAplGBDesigned), this);
    AplGB->setObjectName(QStringLiteral("AplGB"));
    AplGB->setGeometry(192, 0, 417, 321);
    AplObr = new PictureView(AplGB);
    AplObr->setObjectName(QStringLiteral("AplObr"));
    AplObr->setGeometry(8, 16, 400, 300);
    AplObr->hide();
}

void TPSF_ProduktyPSForm::buildInformation()
{
    Informace = new QGroupBox(qs(texts::kInformace), this);
    Informace->setObjectName(QStringLiteral("Informace"));
    Informace->setGeometry(8, 328, 521, kNormalInformation);
    AplPopis = new QListWidget(Informace);
    AplPopis->setObjectName(QStringLiteral("AplPopis"));
    AplPopis->setGeometry(8, 16, 505, kNormalInformation - kPopisInset);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::TypeWriter);
    mono.setPixelSize(11);
    AplPopis->setFont(mono);
    setRowHeight(AplPopis, 14);
    QPalette menu = AplPopis->palette();
    menu.setColor(QPalette::Base, menuColour());
    AplPopis->setPalette(menu);
}

void TPSF_ProduktyPSForm::buildButtons()
{
    PredchObrBtn = glyphButton("PredchObrBtn", "", glyph(Glyph::Previous), 16, this);
    PredchObrBtn->setGeometry(536, 328, 33, 25);
    connect(PredchObrBtn, &QPushButton::clicked, this, &TPSF_ProduktyPSForm::PredchObrBtnClick);
    NaslObrBtn = glyphButton("NaslObrBtn", "", glyph(Glyph::Next), 16, this);
    NaslObrBtn->setGeometry(576, 328, 33, 25);
    NaslObrBtn->setLayoutDirection(Qt::RightToLeft); // the glyph on the button's right side
    connect(NaslObrBtn, &QPushButton::clicked, this, &TPSF_ProduktyPSForm::NaslObrBtnClick);
    BitBtn3 = glyphButton("BitBtn3", texts::kBitBtn3, glyph(Glyph::Ok), 18, this);
    BitBtn3->setGeometry(536, 360, 75, 25);
    connect(BitBtn3, &QPushButton::clicked, this, &TPSF_ProduktyPSForm::BitBtn3Click);
    ZvetsitBtn = glyphButton("ZvetsitBtn", texts::kZvetsitBtn, glyph(Glyph::Enlarge), 16, this);
    ZvetsitBtn->setGeometry(536, 392, 75, 25);
    connect(ZvetsitBtn, &QPushButton::clicked, this, &TPSF_ProduktyPSForm::ZvetsitBtnClick);
    ZmensitBtn = glyphButton("ZmensitBtn", texts::kZmensitBtn, glyph(Glyph::Shrink), 16, this);
    ZmensitBtn->setGeometry(536, 424, 75, 25);
    ZmensitBtn->setEnabled(false);
    ZmensitBtn->hide();
    connect(ZmensitBtn, &QPushButton::clicked, this, &TPSF_ProduktyPSForm::ZmensitBtnClick);
}

void TPSF_ProduktyPSForm::resetLayout()
{
    // Where the platform knows the frames of its windows, it knows them once the window exists.
    create();
    Informace->resize(Informace->width(), kNormalInformation);
    AplPopis->resize(AplPopis->width(), kNormalInformation - kPopisInset);
    tag_ = 0;
    grown_ = 0;
    ZvetsitBtn->setEnabled(true);
    ZmensitBtn->setEnabled(false);
    ZmensitBtn->hide();
    setOuterHeight(kNormalHeight);
}

// Before the window manager has framed this window its frame is unknown; the owner's frame,
// drawn by the same window manager, is the best guess until then.
QMargins TPSF_ProduktyPSForm::frameMargins() const
{
    auto marginsOf = [](const QWidget* w) {
        const QRect f = w->frameGeometry();
        const QRect g = w->geometry();
        return QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
    };
    QMargins own = marginsOf(this);
    if (!own.isNull() || parentWidget() == nullptr)
        return own;
    return marginsOf(parentWidget()->window());
}

int TPSF_ProduktyPSForm::outerHeight() const
{
    const QMargins m = frameMargins();
    return height() + m.top() + m.bottom();
}

void TPSF_ProduktyPSForm::setOuterHeight(int outer)
{
    const QMargins m = frameMargins();
    setFixedHeight(outer - m.top() - m.bottom());
}

// The enlarged layout gives its 110 pixels to the information area and moves the top edge up
// by half of them. A screen too low for it (a scaled one) gets only what it can hold, so
// the whole window stays on it.
void TPSF_ProduktyPSForm::applyLayout(int flag)
{
    const int room = std::max(0, m_.availableArea().height() - kNormalHeight);
    const int grow = flag == 1 ? std::min(kEnlargedHeight - kNormalHeight, room) : 0;
    const int added = grow - grown_;
    Informace->resize(Informace->width(), kNormalInformation + grow);
    AplPopis->resize(AplPopis->width(), kNormalInformation + grow - kPopisInset);
    setOuterHeight(kNormalHeight + grow);
    moveOnScreen(pos().y() - added / 2);
    grown_ = grow;
    ZvetsitBtn->setEnabled(flag == 0);
    ZmensitBtn->setEnabled(flag == 1);
    // The normal layout's client area ends just above this button; a thinner frame than the
    // designed one would show its top edge.
    ZmensitBtn->setVisible(flag == 1);
    tag_ = flag;
}

// Moves the window's top edge to top, but never off the screen's available area: a scaled
// screen can be smaller than the enlarged window's designed move expects.
void TPSF_ProduktyPSForm::moveOnScreen(int top)
{
    const QRect area = m_.availableArea();
    const int lowest = area.top() + area.height() - outerHeight();
    move(pos().x(), std::max(area.top(), std::min(top, lowest)));
}

void TPSF_ProduktyPSForm::ZvetsitBtnClick()
{
    if (tag_ == 0)
        applyLayout(1);
}

void TPSF_ProduktyPSForm::ZmensitBtnClick()
{
    if (tag_ == 1)
        applyLayout(0);
}

void TPSF_ProduktyPSForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window restored from the task bar is shown again by the system, not by the program.
    if (event->spontaneous())
        return;
    FormShow();
    centreOnScreen();
}

void TPSF_ProduktyPSForm::centreOnScreen()
{
    const QRect screen = m_.screenArea();
    const QMargins m = frameMargins();
    const int outerWidth = width() + m.left() + m.right();
    move(screen.left() + (screen.width() - outerWidth) / 2, pos().y());
    moveOnScreen(screen.top() + (screen.height() - outerHeight()) / 2);
}

void TPSF_ProduktyPSForm::FormShow()
{
    AplObr->hide();
    prodSezn->clear();
    PredchObrBtn->setEnabled(false);
    NaslObrBtn->setEnabled(false);
    AplGB->setTitle(QString());
    AplPopis->clear();
    m_.PocetObr = 0;
    m_.AktProd = PsForms::kNoProduct;
    archive::Pskomp& psk = m_.psk();
    if (psk.PSK_FindFile(texts::kSeznamFile) < 0) {
        m_.pelun().PS_Message(common::kSeverityFatal, texts::kMsgArchivNeniDostupny);
        Timer->start();
        return;
    }
    TempListBox.clear();
    if (!psk.PSK_LoadString(texts::kSeznamFile, TempListBox)) {
        m_.pelun().PS_Message(common::kSeverityFatal, texts::kMsgSeznamNenacten);
        Timer->start();
        return;
    }
    for (const std::string& name : TempListBox)
        prodSezn->addItem(QString::fromStdString(name));
    const int before = tag_;
    if (m_.screenArea().height() >= 600)
        ZvetsitBtnClick();
    else
        ZmensitBtnClick();
    if (tag_ != before)
        Timer2->start();
}

void TPSF_ProduktyPSForm::BitBtn3Click()
{
    accept();
}

void TPSF_ProduktyPSForm::TimerTimer()
{
    Timer->stop();
    done(kFailed);
}

void TPSF_ProduktyPSForm::Timer2Timer()
{
    Timer2->stop();
    moveOnScreen(pos().y() - kLateMove);
}

// The catalogue is closed by "&OK", its close box or Timer; Esc would end it as a success,
// which also closes the About box below it.
void TPSF_ProduktyPSForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// With no product selected the list's current row is already the first, so Down would skip
// it: the first Down, Up or Home selects the first product.
bool TPSF_ProduktyPSForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == prodSezn && event->type() == QEvent::KeyPress && prodSezn->count() > 0 &&
        prodSezn->selectedItems().isEmpty()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up || key == Qt::Key_Home) {
            prodSezn->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace about
