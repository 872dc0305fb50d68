#include "tools/sample_pictures.h"

#include <QCheckBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

namespace tools {

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;
constexpr int kTitle = 22;

template <typename W, typename... A>
W* put(QWidget* parent, QRect at, A&&... args)
{
    W* w = new W(std::forward<A>(args)..., parent);
    w->setGeometry(at);
    return w;
}

QGroupBox* group(QWidget* parent, const char* title, QRect at)
{
    return put<QGroupBox>(parent, at, QString::fromUtf8(title));
}

QLabel* text(QWidget* parent, const char* caption, QPoint at, int width = 190)
{
    return put<QLabel>(parent, QRect(at, QSize(width, 14)), QString::fromUtf8(caption));
}

void vorkanSettings(QWidget* page)
{
    QGroupBox* what = group(page, "Testovat", QRect(4, 2, 390, 124));
    auto* drive = put<QRadioButton>(what, QRect(10, 20, 80, 20), QStringLiteral("Jednotku"));
    drive->setChecked(true);
    put<QLineEdit>(what, QRect(96, 20, 170, 20), QStringLiteral("d: [DATA] /media/cdrom"));
    put<QRadioButton>(what, QRect(10, 52, 80, 20), QString::fromUtf8("Adresář"));
    put<QLineEdit>(what, QRect(96, 52, 170, 20))->setEnabled(false);
    put<QPushButton>(what, QRect(276, 52, 104, 22), QString::fromUtf8("Procházet"))->setEnabled(false);
    put<QRadioButton>(what, QRect(10, 84, 80, 20), QStringLiteral("Soubor"));
    put<QLineEdit>(what, QRect(96, 84, 170, 20))->setEnabled(false);
    QGroupBox* type = group(page, "Typ testu", QRect(4, 132, 280, 136));
    put<QRadioButton>(type, QRect(10, 22, 262, 20), QString::fromUtf8("Kompletní test všech dat souborů"))
        ->setChecked(true);
    put<QRadioButton>(type, QRect(10, 50, 262, 20), QString::fromUtf8("Test vybraných dat souborů"));
    put<QPushButton>(page, QRect(294, 142, 100, 24), QStringLiteral("Start"))->setDefault(true);
    put<QPushButton>(page, QRect(294, 176, 100, 24), QStringLiteral("O programu"));
    put<QPushButton>(page, QRect(294, 210, 100, 24), QStringLiteral("Konec"));
}

void vorkanTest(QWidget* page)
{
    QGroupBox* info = group(page, "Informace", QRect(4, 2, 390, 112));
    const char* rows[][2] = {{"Doba trvání testu:", "0 :  1 : 12"},
                             {"Celková doba testu:", "0 :  4 : 05"},
                             {"Zbývající čas:", "0 :  2 : 53"},
                             {"Průměrná rychlost:", "5120 KB/s"},
                             {"Aktuální rychlost:", "5342 KB/s"}};
    int y = 18;
    for (const auto& row : rows) {
        text(info, row[0], QPoint(10, y), 130);
        text(info, row[1], QPoint(150, y), 120);
        y += 18;
    }
    QGroupBox* run = group(page, "Průběh", QRect(4, 120, 390, 110));
    text(run, "Testují se soubory ...", QPoint(10, 20), 300);
    text(run, "/media/cdrom/foto/2001/IMG_0412.JPG", QPoint(10, 38), 370);
    auto* file = put<QProgressBar>(run, QRect(10, 56, 370, 18));
    file->setValue(64);
    auto* all = put<QProgressBar>(run, QRect(10, 82, 370, 18));
    all->setValue(29);
    put<QPushButton>(page, QRect(100, 240, 100, 24), QStringLiteral("Pozastavit"));
    put<QPushButton>(page, QRect(210, 240, 100, 24), QString::fromUtf8("Ukončit"));
}

void vorkanResult(QWidget* page)
{
    QLabel* count = text(page, "Počet chyb: 2", QPoint(10, 6), 200);
    QFont bold = count->font();
    bold.setBold(true);
    count->setFont(bold);
    QPalette red = count->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    count->setPalette(red);
    QGroupBox* report = group(page, "Protokol o testu", QRect(4, 26, 390, 206));
    const char* lines[] = {"Testovaný objekt:  Jednotka d:",
                           "Typ testu:  Kompletní test",
                           "Počet souborů:  1843",
                           "Počet adresářů:  112",
                           "Přečteno:  612 MB",
                           "Doba trvání testu:  0 :  2 : 01",
                           "Průměrná rychlost:  5180 KB/s",
                           "Počet chyb:  2"};
    int y = 20;
    for (const char* line : lines) {
        text(report, line, QPoint(10, y), 370);
        y += 20;
    }
    put<QPushButton>(page, QRect(10, 240, 180, 24), QString::fromUtf8("Uložit protokol o testu"));
    put<QPushButton>(page, QRect(294, 240, 100, 24), QStringLiteral("Nový test"));
}

void drawTitleBar(QPainter& p, const QString& caption)
{
    QLinearGradient bar(0, 0, kWidth, 0);
    bar.setColorAt(0, QColor(0x0a, 0x24, 0x6a));
    bar.setColorAt(1, QColor(0xa6, 0xca, 0xf0));
    p.fillRect(0, 0, kWidth, kTitle, bar);
    p.setPen(Qt::white);
    QFont bold(QStringLiteral("DejaVu Sans"));
    bold.setPixelSize(12);
    bold.setBold(true);
    p.setFont(bold);
    p.drawText(QRect(8, 0, kWidth - 16, kTitle), Qt::AlignVCenter, caption);
}

QImage vorkanPicture(int picture)
{
    QWidget window;
    window.setFixedSize(kWidth, kHeight - kTitle);
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setPixelSize(11);
    window.setFont(font);
    if (picture == 0)
        vorkanSettings(&window);
    else if (picture == 1)
        vorkanTest(&window);
    else
        vorkanResult(&window);
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(window.palette().color(QPalette::Window));
    QPainter p(&image);
    drawTitleBar(p, QStringLiteral("PELUN Software Vorkan v1.20"));
    p.end();
    window.render(&image, QPoint(0, kTitle));
    return image;
}

void drawLandscape(QPainter& p, QRect area)
{
    QLinearGradient sky(area.topLeft(), area.bottomLeft());
    sky.setColorAt(0, QColor(0x4a, 0x90, 0xe2));
    sky.setColorAt(1, QColor(0xd6, 0xea, 0xff));
    p.fillRect(area, sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xd7, 0x00));
    p.drawEllipse(QPoint(area.right() - 60, area.top() + 50), 26, 26);
    QPainterPath hills(QPointF(area.left(), area.bottom()));
    hills.cubicTo(area.left() + 90, area.top() + 120, area.left() + 200, area.top() + 220, area.right(),
                  area.top() + 150);
    hills.lineTo(area.bottomRight());
    hills.closeSubpath();
    p.setBrush(QColor(0x3c, 0x8d, 0x2f));
    p.drawPath(hills);
}

void drawListing(QPainter& p, QRect area, int seed)
{
    p.fillRect(area, Qt::white);
    p.setPen(QColor(0x20, 0x20, 0x20));
    const char* names[] = {"foto", "hudba", "dokumenty", "instalace", "zaloha_2000", "ovladace", "hry", "texty"};
    for (int i = 0; i < 12; ++i) {
        const QRect row(area.left() + 6, area.top() + 6 + i * 20, area.width() - 12, 18);
        if (i == 3)
            p.fillRect(row, QColor(0x0a, 0x24, 0x6a, 60));
        p.drawText(row, Qt::AlignVCenter,
                   QStringLiteral("%1 %2")
                       .arg(i < 4 ? QStringLiteral("[+]") : QStringLiteral("   "))
                       .arg(QString::fromLatin1(names[(i + seed) % 8])));
        p.drawText(row, Qt::AlignVCenter | Qt::AlignRight, QStringLiteral("%1 kB").arg(120 + 37 * i * (seed + 1)));
    }
}

void drawThumbnails(QPainter& p, QRect area)
{
    p.fillRect(area, QColor(0x30, 0x30, 0x30));
    for (int i = 0; i < 12; ++i) {
        const QRect cell(area.left() + 10 + (i % 4) * 94, area.top() + 10 + (i / 4) * 84, 84, 70);
        p.fillRect(cell, QColor::fromHsv((i * 31) % 360, 120, 220));
        p.setPen(Qt::white);
        p.drawRect(cell.adjusted(0, 0, -1, -1));
    }
}

void drawBackup(QPainter& p, QRect area)
{
    p.fillRect(area, QColor(0xec, 0xe9, 0xd8));
    for (int i = 0; i < 4; ++i) {
        const QRect disk(area.left() + 30 + i * 88, area.top() + 40, 64, 64);
        p.fillRect(disk, i < 2 ? QColor(0x1f, 0x4e, 0x9c) : QColor(0x99, 0x99, 0x99));
        p.fillRect(disk.adjusted(14, 0, -14, -44), QColor(0xc0, 0xc0, 0xc0));
        p.fillRect(disk.adjusted(10, 30, -10, -4), Qt::white);
    }
    p.setPen(Qt::black);
    p.drawText(QRect(area.left() + 30, area.top() + 130, 340, 20), Qt::AlignVCenter,
               QString::fromUtf8("Disketa 3 ze 4 - zálohuje se adresář dokumenty"));
    p.fillRect(QRect(area.left() + 30, area.top() + 160, 340, 20), Qt::white);
    p.fillRect(QRect(area.left() + 30, area.top() + 160, 220, 20), QColor(0x0a, 0x24, 0x6a));
}

QImage otherPicture(int product, int picture, const QString& name)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(QColor(0xd4, 0xd0, 0xc8));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setPixelSize(12);
    const QRect area(4, kTitle + 4, kWidth - 8, kHeight - kTitle - 8);
    if (product == 3 && picture == 0)
        drawLandscape(p, area);
    else if (product == 3)
        drawThumbnails(p, area);
    else if (product == 4) {
        p.setFont(font);
        drawBackup(p, area);
    } else {
        p.setFont(font);
        drawListing(p, area, product + picture);
    }
    drawTitleBar(p, name);
    return image;
}

} // namespace

QImage samplePicture(int product, int picture, const QString& productName)
{
    if (product == 0)
        return vorkanPicture(picture);
    return otherPicture(product, picture, productName);
}

} // namespace tools
