#pragma once
#include "about/psforms.h"
#include "about/psnet.h"
#include "common/encoding.h"
#include "tests/archive/archive_fixture.h"

#include <QApplication>
#include <QBuffer>
#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace about_test {

using testing_support::member;

// A text member as the maker writes it: Windows-1250 with CR LF.
inline tools::PskMember textMember(const std::string& name, const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return member(name, common::utf8ToCp1250(text));
}

inline tools::PskMember jpegMember(const std::string& name, QColor colour)
{
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return {name, std::vector<std::uint8_t>(bytes.begin(), bytes.end()), 1};
}

inline std::string productFile(int n, const std::string& file)
{
    return "DARadid\\Produkty\\" + std::to_string(n) + "\\" + file;
}

inline std::vector<std::string> info(const std::string& name, const std::string& pictures)
{
    return {name, "1.0", "1.1.2000", "Freeware", "PC", "Linux", "100 kB", pictures};
}

// Five products: 0 without pictures, 1 with one, 2 with three (red, green, blue), 3 whose
// INFO.TXT stops at line 7, 4 without POPIS.TXT, 5 with a broken 0.JPG and no 1.JPG.
inline std::vector<tools::PskMember> catalogueMembers()
{
    std::vector<tools::PskMember> m = {
        textMember("DARadid\\Produkty\\SEZNAM.TXT", {"Žádný", "Jeden", "Tři", "Sedm", "Bez popisu", "Vadný obrázek"}),
        textMember(productFile(0, "INFO.TXT"), info("Žádný obrázek", "0")),
        textMember(productFile(0, "POPIS.TXT"), {"První řádek", "Druhý řádek"}),
        textMember(productFile(0, "AUTORI.TXT"), {"Jan Novák"}),
        textMember(productFile(1, "INFO.TXT"), info("Jeden obrázek", "1")),
        textMember(productFile(1, "POPIS.TXT"), {"Popis"}),
        textMember(productFile(1, "AUTORI.TXT"), {"Autor"}),
        jpegMember(productFile(1, "0.JPG"), Qt::red),
        textMember(productFile(2, "INFO.TXT"), info("Tři obrázky", " 3 ")),
        textMember(productFile(2, "POPIS.TXT"), {"Popis"}),
        textMember(productFile(2, "AUTORI.TXT"), {"Autor"}),
        jpegMember(productFile(2, "0.JPG"), Qt::red),
        jpegMember(productFile(2, "1.JPG"), Qt::green),
        jpegMember(productFile(2, "2.JPG"), Qt::blue),
        textMember(productFile(4, "INFO.TXT"), info("Bez popisu", "0")),
        textMember(productFile(4, "AUTORI.TXT"), {"Autor"}),
    };
    std::vector<std::string> seven = info("Sedm řádků", "1");
    seven.pop_back();
    m.push_back(textMember(productFile(3, "INFO.TXT"), seven));
    m.push_back(jpegMember(productFile(3, "0.JPG"), Qt::red));
    m.push_back(textMember(productFile(5, "INFO.TXT"), info("Vadný obrázek", "2")));
    m.push_back(member(productFile(5, "0.JPG"), "no picture"));
    return m;
}

// Acts once on the first modal window of type T. Should none appear, or should it still be
// open when the time is up, the test fails and the window is closed, so no test hangs.
class ModalWatch : public QObject {
public:
    ModalWatch(std::function<bool(QWidget*)> act, int timeoutMs) : act_(std::move(act)), timeoutMs_(timeoutMs)
    {
        setParent(qApp); // a watch the test no longer needs is ended with it (endAll)
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start();
        clock_.start();
    }

    // Ends every watch still waiting: a test's safety net must not outlive the test.
    static void endAll()
    {
        const QObjectList children = qApp->children(); // a copy: deleting changes the list
        for (QObject* child : children) {
            if (auto* watch = dynamic_cast<ModalWatch*>(child))
                delete watch;
        }
    }

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (acted_.isNull() && !actedOnce_ && modal != nullptr && act_(modal)) {
            acted_ = modal;
            actedOnce_ = true;
        }
        if (actedOnce_ && (acted_.isNull() || !acted_->isVisible())) {
            finish();
            return;
        }
        if (clock_.elapsed() > timeoutMs_) {
            ADD_FAILURE() << "a modal window was not answered in time";
            if (modal != nullptr)
                modal->close();
            finish();
        }
    }
    void finish()
    {
        timer_.stop();
        deleteLater();
    }

    std::function<bool(QWidget*)> act_;
    int timeoutMs_;
    QTimer timer_;
    QElapsedTimer clock_;
    QPointer<QWidget> acted_;
    bool actedOnce_ = false;
};

template <typename T>
void whenModal(std::function<void(T*)> act, int timeoutMs = 5000)
{
    new ModalWatch(
        [act](QWidget* w) {
            auto* window = qobject_cast<T*>(w);
            if (window == nullptr)
                return false;
            act(window);
            return true;
        },
        timeoutMs);
}

// A module with its catalogue archive open, as the maker's system archive.
struct CatalogueFixture : testing_support::ArchiveFixture {
    void TearDown() override { ModalWatch::endAll(); }
    std::vector<std::string> opened;
    about::PsNet net{[this](const std::string& text) { opened.push_back(text); }};
    QRect screen{0, 0, 800, 600};
    about::PsForms forms{psk, pelun, [this] { return screen; }};

    void SetUp() override
    {
        ArchiveFixture::SetUp();
        psk.afterPelunPskOpened = [this] { net.PSK_ReadURLFile(psk); };
    }
    void makerArchive(std::vector<tools::PskMember> members)
    {
        testing_support::writeBytes(dir / "start/Pelun.PSK", tools::buildPsk(members, 1));
    }
    // Installs the maker's archive for the machine and closes it again, as a run of one of
    // the maker's programs leaves it.
    void registerMakerArchive(std::vector<tools::PskMember> members)
    {
        makerArchive(std::move(members));
        ASSERT_EQ(psk.PSK_OpenPelunPsk(0), 0);
        ASSERT_TRUE(psk.PSK_ClosePelunPskr());
        port.shown.clear();
    }
};

template <typename T>
T* child(QWidget& w, const char* name)
{
    T* found = w.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr)
        ADD_FAILURE() << "no control " << name;
    return found;
}

} // namespace about_test
