#include "about/about_look.h"
#include "about/daradid.h"
#include "about/daradid_texts.h"
#include "about/link_label.h"
#include "about/psnet_texts.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTextOption>

namespace about {

namespace {

template <std::size_t N>
QString joinLines(const char* const (&lines)[N])
{
    QStringList all;
    for (const char* line : lines)
        all << QString::fromUtf8(line);
    return all.join(QLatin1Char('\n'));
}

QPlainTextEdit* memo(const char* name, QWidget* page, QRect geometry)
{
    auto* text = new QPlainTextEdit(page);
    text->setObjectName(QString::fromLatin1(name));
    text->setGeometry(geometry);
    text->setReadOnly(true);
    text->setFrameShape(QFrame::NoFrame);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    QPalette menu = text->palette();
    menu.setColor(QPalette::Base, menuColour());
    text->setPalette(menu);
    return text;
}

QLabel* label(const char* name, const char* text, QWidget* page, QPoint at)
{
    auto* l = new QLabel(QString::fromUtf8(text), page);
    l->setObjectName(QString::fromLatin1(name));
    l->move(at);
    l->adjustSize();
    return l;
}

} // namespace

QWidget* TDaRadidF::addPage(const char* name)
{
    auto* page = new QWidget(Notebook);
    page->setObjectName(QString::fromLatin1(name));
    Notebook->addWidget(page);
    return page;
}

void TDaRadidF::buildAuthorsPage()
{
    QWidget* page = addPage("Autori");
    AppTitle = label("AppTitle", texts::kAppTitle, page, QPoint(16, 12));
    QFont big = AppTitle->font();
    big.setPixelSize(26);
    big.setBold(true);
    AppTitle->setFont(big);
    AppTitle->adjustSize();
    appVersion = label("appVersion", texts::kAppVersion, page, QPoint(18, 48));
    QFont bold = appVersion->font();
    bold.setBold(true);
    appVersion->setFont(bold);
    appVersion->adjustSize();
    AppDescr = memo("AppDescr", page, QRect(15, 76, 354, 200));
    AppDescr->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    AppDescr->setPlainText(joinLines(texts::kAppDescr));
}

void TDaRadidF::buildProductsPage()
{
    QWidget* page = addPage("Produkty");
    QPlainTextEdit* Memo8 = memo("Memo8", page, QRect(15, 16, 354, 233));
    Memo8->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo8->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo8->setPlainText(joinLines(texts::kMemo8));
    label("Label1", texts::kLabel1, page, QPoint(16, 248));
    PSWWWL2 = addLink("PSWWWL2", page, QRect(161, 264, 200, 13), Qt::AlignRight);
    connect(PSWWWL2, &LinkLabel::clicked, this, &TDaRadidF::PSWWWL2Click);
}

void TDaRadidF::buildAddressPage()
{
    QWidget* page = addPage("Adresa");
    label("Label3", texts::kLabel3, page, QPoint(8, 24));
    EMailLabel = addLink("EMailLabel", page, QRect(0, 56, 376, 13), Qt::AlignHCenter);
    EMailLabel->setText(QString::fromUtf8(texts::kBuiltInEMail));
    connect(EMailLabel, &LinkLabel::clicked, this, &TDaRadidF::EMailLabelClick);
    label("Label4", texts::kLabel4, page, QPoint(8, 96));
    PSWWWL3 = addLink("PSWWWL3", page, QRect(8, 128, 361, 13), Qt::AlignHCenter);
    connect(PSWWWL3, &LinkLabel::clicked, this, &TDaRadidF::PSWWWL2Click);
    PSWWW2L1 = addLink("PSWWW2L1", page, QRect(-1, 144, 378, 13), Qt::AlignHCenter);
    connect(PSWWW2L1, &LinkLabel::clicked, this, &TDaRadidF::PSWWW2L1Click);
}

// Pages 3 and 4 are the maker's; this program leaves their texts empty.
void TDaRadidF::buildTextPage(const char* memoName, QRect geometry, bool centred)
{
    QWidget* page = addPage(centred ? "CoJe" : "Licence");
    QPlainTextEdit* text = memo(memoName, page, geometry);
    text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    if (centred)
        text->document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
}

} // namespace about
