// The controls of the main window's pages, at the pixel positions the window was drawn with.

#include "ui/vorkan_f.h"

#include "common/pelun.h"
#include "engine/engine_texts.h"
#include "platform/filesystem.h"
#include "ui/drive_combo.h"
#include "ui/elided.h"
#include "ui/glyphs.h"
#include "ui/program_look.h"
#include "ui/vorkan_f_texts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>

namespace ui {

namespace {

QString tr8(const char* text)
{
    return QString::fromUtf8(text);
}

template <typename W>
W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QGroupBox* groupBox(QWidget* parent, const char* name, const char* title, QRect geometry)
{
    auto* box = named(new QGroupBox(tr8(title), parent), name);
    box->setGeometry(geometry);
    return box;
}

// A caption label: its size follows its text.
QLabel* caption(QWidget* parent, const char* name, const char* text, int x, int y)
{
    auto* label = named(new QLabel(tr8(text), parent), name);
    label->move(x, y);
    label->adjustSize();
    return label;
}

// A label the engine writes: plain text (file names may hold '<' or '&'), reaching to the
// right edge of its box. A path is elided in the middle when it does not fit.
enum class Fit { Clip, ElideMiddle };
QLabel* valueLabel(QWidget* parent, const char* name, int x, int y, int rightEdge, Fit fit = Fit::Clip)
{
    auto* label = named(fit == Fit::ElideMiddle ? new ElidedLabel(parent) : new QLabel(parent), name);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(x, y, rightEdge - x, 13);
    return label;
}

QProgressBar* gauge(QWidget* parent, const char* name, QRect geometry)
{
    auto* bar = named(new QProgressBar(parent), name);
    bar->setGeometry(geometry);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(true);
    bar->setAlignment(Qt::AlignCenter);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Highlight, QColor(0, 0, 192));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    bar->setPalette(palette);
    return bar;
}

QPushButton* button(QWidget* parent, const char* name, const char* text, QRect geometry, const QIcon& icon = {})
{
    auto* b = named(new QPushButton(icon, tr8(text), parent), name);
    b->setGeometry(geometry);
    return b;
}

QRadioButton* radio(QWidget* parent, const char* name, const char* text, QRect geometry, const char* hint)
{
    auto* rb = named(new QRadioButton(tr8(text), parent), name);
    rb->setGeometry(geometry);
    // Hints are kept with the options, as the window was designed, but never shown.
    rb->setProperty("hint", tr8(hint));
    return rb;
}

void useMenuBackground(QWidget* widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, menuColour());
    widget->setPalette(palette);
}

} // namespace

void TMainForm::buildWindow()
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(tr8(texts::kMainCaption));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    // 20 pixels taller than drawn, for the surface scan's box in the test type's frame.
    setFixedSize(531, 302);
    setWindowIcon(programIcon());

    Notebook1 = named(new QStackedWidget(this), "Notebook1");
    Notebook1->setGeometry(0, 0, 531, 302);
    Notebook1->addWidget(buildTestPage());
    Notebook1->addWidget(buildResultPage());
    Notebook1->addWidget(buildSettingsPage());
    Notebook1->addWidget(buildErrorListPage());
    Notebook1->setCurrentIndex(static_cast<int>(engine::Page::NastaveniTestu));
    buildTabOrder();
    buildComponents();
}

QWidget* TMainForm::buildTestPage()
{
    auto* page = named(new QWidget, "Test");
    auto* box2 = groupBox(page, "GroupBox2", texts::kNastaveniTestuBox, {16, 8, 393, 73});
    caption(box2, "Label1", texts::kTestovanyObjekt, 32, 16);
    druhTOL = valueLabel(box2, "druhTOL", 128, 16, 385);
    caption(box2, "Label6", texts::kUmisteni, 32, 32);
    TOL = valueLabel(box2, "TOL", 128, 32, 385, Fit::ElideMiddle);
    caption(box2, "Label2", texts::kTypTestu, 32, 48);
    TypTestuL = valueLabel(box2, "TypTestuL", 128, 48, 385);

    auto* box4 = groupBox(page, "GroupBox4", texts::kInformace, {16, 88, 505, 65});
    caption(box4, "Label10", texts::kDobaTrvani, 32, 16);
    DobaTrvL = valueLabel(box4, "DobaTrvL", 140, 16, 244);
    caption(box4, "Label9", texts::kCelkovaDoba, 32, 32);
    DobaCelkL = valueLabel(box4, "DobaCelkL", 140, 32, 244);
    caption(box4, "Label11", texts::kZbyvajiciCas, 32, 48);
    DobaZbyvL = valueLabel(box4, "DobaZbyvL", 140, 48, 244);
    caption(box4, "Label7", texts::kPrumernaRychlost, 248, 16);
    PrumRychL = valueLabel(box4, "PrumRychL", 376, 16, 500);
    caption(box4, "Label8", texts::kMaximalniRychlost, 248, 32);
    MaxRychL = valueLabel(box4, "MaxRychL", 376, 32, 500);
    caption(box4, "Label12", texts::kAktualniRychlost, 248, 48);
    AktRychL = valueLabel(box4, "AktRychL", 376, 48, 500);

    auto* box3 = groupBox(page, "GroupBox3", texts::kPrubeh, {16, 160, 505, 113});
    caption(box3, "Label5", texts::kStav, 32, 16);
    StavL = valueLabel(box3, "StavL", 88, 16, 497);
    Label3 = valueLabel(box3, "Label3", 32, 32, 87);
    Label3->setText(tr8(engine::texts::kLabelSoubor));
    SoubJML = valueLabel(box3, "SoubJML", 88, 32, 497, Fit::ElideMiddle);
    PrubehSoub = gauge(box3, "PrubehSoub", {88, 48, 409, 25});
    caption(box3, "Label4", texts::kCelkem, 32, 88);
    Prubeh = gauge(box3, "Prubeh", {88, 80, 409, 25});

    PauseBtn = button(page, "PauseBtn", engine::texts::kPozastavit, {424, 16, 97, 25}, glyph(Glyph::Pause));
    UkoncitBtn = button(page, "UkoncitBtn", texts::kUkoncit, {424, 56, 97, 25}, stockGlyph(StockGlyph::Cancel, page));
    return page;
}

QWidget* TMainForm::buildResultPage()
{
    auto* page = named(new QWidget, "Vysledek testu");
    auto* box5 = groupBox(page, "GroupBox5", texts::kVysledekTestu, {14, 9, 507, 232});
    VyslTestu = named(new QPlainTextEdit(box5), "VyslTestu");
    VyslTestu->setGeometry(10, 15, 487, 210);
    VyslTestu->setReadOnly(true);
    VyslTestu->setLineWrapMode(QPlainTextEdit::NoWrap);
    VyslTestu->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    VyslTestu->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    VyslTestu->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    useMenuBackground(VyslTestu);

    PocetchybL = named(new QLabel(page), "PocetchybL");
    PocetchybL->setTextFormat(Qt::PlainText);
    QFont bold = PocetchybL->font();
    bold.setBold(true);
    bold.setPixelSize(13);
    PocetchybL->setFont(bold);
    PocetchybL->setGeometry(16, 248, 170, 17);

    BitBtn2 = button(page, "BitBtn2", texts::kZobrazitChyby, {189, 249, 97, 24});
    SaveLogBtn = button(page, "SaveLogBtn", texts::kUlozitProtokol, {293, 249, 148, 24}, glyph(Glyph::Save));
    VyslTestuOKBtn = button(page, "VyslTestuOKBtn", texts::kOK, {448, 248, 75, 25}, stockGlyph(StockGlyph::Ok, page));
    VyslTestuOKBtn->setDefault(true);
    // The row of buttons below has no room left: the details open from the free end of the
    // box's title line.
    PodrobnostiBtn = button(page, "PodrobnostiBtn", texts::kPodrobnosti, {0, 0, 0, 0});
    const int width = PodrobnostiBtn->sizeHint().width() + 8;
    PodrobnostiBtn->setGeometry(521 - width, 1, width, 20);
    PodrobnostiBtn->setEnabled(false);
    return page;
}

QWidget* TMainForm::buildSettingsPage()
{
    auto* page = named(new QWidget, "Nastavení testu");
    GroupBox1 = groupBox(page, "GroupBox1", texts::kTestovat, {16, 10, 505, 159});
    TestJednRB = radio(GroupBox1, "TestJednRB", texts::kJednotku, {32, 32, 81, 17}, texts::kHintJednotka);
    JednE = named(new ElidedComboBox(GroupBox1), "JednE");
    JednE->setGeometry(120, 32, 145, 19);
    fillDriveCombo(*JednE, pelun_.drives());
    selectDriveOf(*JednE, pelun_.drives(), platform::currentDirectory());
    TestAdrRB = radio(GroupBox1, "TestAdrRB", texts::kAdresar, {32, 72, 73, 17}, texts::kHintAdresar);
    AdrE = named(new QLineEdit(GroupBox1), "AdrE");
    AdrE->setGeometry(120, 72, 257, 21);
    AdrProchBtn = button(GroupBox1, "AdrProchBtn", texts::kProchazet, {392, 72, 89, 21}, glyph(Glyph::Browse));
    TestSoubRB = radio(GroupBox1, "TestSoubRB", texts::kSoubor, {32, 112, 81, 17}, texts::kHintSoubor);
    SoubE = named(new QLineEdit(GroupBox1), "SoubE");
    SoubE->setGeometry(120, 112, 257, 21);
    SoubProchBtn = button(GroupBox1, "SoubProchBtn", texts::kProchazet, {392, 112, 89, 21}, glyph(Glyph::Browse));
    TestJednRB->setChecked(true);
    // Qt's automatic exclusivity spans every option below one parent, also those in the
    // group box: each group is made explicit.
    auto* objects = new QButtonGroup(page);
    for (QRadioButton* rb : {TestJednRB, TestAdrRB, TestSoubRB})
        objects->addButton(rb);

    // The frame first, so the two options, children of the page, lie over it and form a group
    // of their own.
    RadioGroup1 = groupBox(page, "RadioGroup1", texts::kTypTestuBox, {16, 176, 385, 117});
    KompletniTestRB = radio(page, "KompletniTestRB", texts::kKompletniTest, {48, 208, 345, 17}, texts::kHintKompletni);
    RychlyTestRB = radio(page, "RychlyTestRB", texts::kRychlyTest, {48, 232, 329, 17}, texts::kHintRychly);
    KompletniTestRB->setChecked(true);
    MapovatCB = named(new QCheckBox(tr8(texts::kMapovat), page), "MapovatCB");
    MapovatCB->setGeometry(48, 251, 345, 17);
    MapovatCB->setProperty("hint", tr8(texts::kHintMapovat));
    // Beside it, so that the surface scan's box fits in the row below.
    MapovatCB->setGeometry(48, 251, 212, 17);
    OveritSouctyCB = named(new QCheckBox(tr8(texts::kOveritSoucty), page), "OveritSouctyCB");
    OveritSouctyCB->setGeometry(262, 251, 136, 17);
    OveritSouctyCB->setProperty("hint", tr8(texts::kHintOveritSoucty));
    connect(RychlyTestRB, &QRadioButton::toggled, OveritSouctyCB,
            [this](bool quick) { OveritSouctyCB->setEnabled(!quick); });
    PovrchCB = named(new QCheckBox(tr8(texts::kPovrch), page), "PovrchCB");
    PovrchCB->setGeometry(48, 270, 345, 17);
    PovrchCB->setProperty("hint", tr8(texts::kHintPovrch));
    auto* types = new QButtonGroup(page);
    types->addButton(KompletniTestRB);
    types->addButton(RychlyTestRB);
    enableRows(true, false, false);

    StartBtn = button(page, "StartBtn", texts::kStart, {416, 184, 105, 25}, glyph(Glyph::Start));
    StartBtn->setDefault(true);
    OprogBtn = button(page, "OprogBtn", texts::kOProgramu, {416, 216, 105, 25}, stockGlyph(StockGlyph::Help, page));
    KonecBtn = button(page, "KonecBtn", texts::kKonec, {416, 248, 105, 25}, stockGlyph(StockGlyph::Close, page));
    return page;
}

QWidget* TMainForm::buildErrorListPage()
{
    auto* page = named(new QWidget, "seznam chyb");
    auto* box6 = groupBox(page, "GroupBox6", texts::kChybneSoubory, {16, 8, 497, 233});
    ChybSezn = named(new QListWidget(box6), "ChybSezn");
    ChybSezn->setGeometry(8, 16, 481, 209);
    ChybSezn->setUniformItemSizes(true);
    useMenuBackground(ChybSezn);
    BitBtn1 = button(page, "BitBtn1", texts::kOK, {445, 249, 75, 25}, stockGlyph(StockGlyph::Ok, page));
    BitBtn1->setDefault(true);
    return page;
}

void TMainForm::buildTabOrder()
{
    const std::vector<QWidget*> settings{
        TestJednRB,      AdrE,         SoubE,     TestSoubRB,     TestAdrRB, AdrProchBtn, SoubProchBtn, JednE,
        KompletniTestRB, RychlyTestRB, MapovatCB, OveritSouctyCB, PovrchCB,  StartBtn,    OprogBtn,     KonecBtn};
    for (std::size_t i = 1; i < settings.size(); ++i)
        setTabOrder(settings[i - 1], settings[i]);
    setTabOrder(PauseBtn, UkoncitBtn);
    setTabOrder(VyslTestu, BitBtn2);
    setTabOrder(BitBtn2, SaveLogBtn);
    setTabOrder(SaveLogBtn, VyslTestuOKBtn);
    setTabOrder(VyslTestuOKBtn, PodrobnostiBtn);
    setTabOrder(ChybSezn, BitBtn1);
}

void TMainForm::buildComponents()
{
    OpenDialog1 = named(new QFileDialog(this), "OpenDialog1");
    OpenDialog1->setOption(QFileDialog::DontUseNativeDialog);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenDialog1->setNameFilter(tr8(texts::kFilterVsechnySoubory));

    SaveDialog1 = named(new QFileDialog(this), "SaveDialog1");
    // The program asks before replacing a file itself, in its own dialog.
    SaveDialog1->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setFileMode(QFileDialog::AnyFile);
    SaveDialog1->setNameFilters({tr8(texts::kFilterTextove), tr8(texts::kFilterVsechnyUlozit)});

    MainTimer = named(new QTimer(this), "MainTimer");
    MainTimer->setInterval(1000);
    // Speeds divide by the whole seconds between the start of reading and a tick; a coarse
    // timer may tick up to 50 ms early, inside the second it measures, and show an average
    // above the maximum.
    MainTimer->setTimerType(Qt::PreciseTimer);
    SoubTimer = named(new QTimer(this), "SoubTimer");
    SoubTimer->setInterval(100);
}

} // namespace ui
