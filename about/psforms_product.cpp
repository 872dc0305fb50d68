#include "about/picture_view.h"
#include "about/psforms.h"
#include "about/psforms_texts.h"
#include "about/scope_exit.h"
#include "archive/pskomp.h"
#include "common/pelun.h"

#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace about {

namespace {

// A product's INFO.TXT lacks a line or gives no number of pictures.
class BadProductInfo : public std::runtime_error {
public:
    BadProductInfo() : std::runtime_error("bad product information") {}
};

const std::string& infoLine(const std::vector<std::string>& lines, std::size_t index)
{
    if (index >= lines.size())
        throw BadProductInfo();
    return lines[index];
}

std::int32_t pictureCount(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    const std::size_t last = text.find_last_not_of(' ');
    if (first == std::string::npos)
        throw BadProductInfo();
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (*begin == '+')
        ++begin;
    std::int32_t value = 0;
    auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end)
        throw BadProductInfo();
    return value;
}

std::string productPath(std::int32_t n)
{
    return texts::kProductFolder + std::to_string(n);
}

} // namespace

int TPSF_ProduktyPSForm::selectedProduct() const
{
    const QList<QListWidgetItem*> selected = prodSezn->selectedItems();
    return selected.isEmpty() ? -1 : prodSezn->row(selected.first());
}

void TPSF_ProduktyPSForm::prodSeznClick()
{
    const int n = selectedProduct();
    if (n < 0 || n == m_.AktProd)
        return;
    bool wellFormed = true;
    {
        WaitCursor wait;
        try {
            showProduct(n);
        } catch (const std::exception&) {
            wellFormed = false;
        }
    }
    if (!wellFormed)
        m_.pelun().PS_Message(common::kSeverityFatal, texts::kMsgChybneInformace);
}

void TPSF_ProduktyPSForm::addLine(const std::string& text)
{
    AplPopis->addItem(QString::fromStdString(text));
}

bool TPSF_ProduktyPSForm::loadLines(std::int32_t n, const char* file)
{
    TempListBox.clear();
    return m_.psk().PSK_LoadString(productPath(n) + file, TempListBox);
}

void TPSF_ProduktyPSForm::showProduct(std::int32_t n)
{
    AplObr->hide();
    // A picture of the product shown before must not stand for this one should its own
    // first picture fail to load.
    AplObr->setPicture({});
    PredchObrBtn->setEnabled(false);
    NaslObrBtn->setEnabled(false);
    AplGB->setTitle(QString());
    AplPopis->clear();
    m_.PocetObr = 0;
    TempListBox.clear();
    m_.AktProd = n;

    if (!loadLines(n, texts::kInfoFile))
        return;
    AplGB->setTitle(QString::fromStdString(infoLine(TempListBox, 0)));
    std::size_t line = 0;
    for (const char* label : texts::kInfoLabels)
        addLine(label + infoLine(TempListBox, line++));
    addLine(texts::kBlankLine);
    m_.PocetObr = pictureCount(infoLine(TempListBox, 7));
    if (m_.PocetObr > 0) {
        loadPicture(0);
        AplObr->show();
        m_.AktObr = 0;
    }
    if (m_.PocetObr > 1)
        NaslObrBtn->setEnabled(true);

    if (!loadLines(n, texts::kPopisFile))
        return;
    addLine(texts::kPopisHeading);
    for (const std::string& text : TempListBox)
        addLine(text);
    addLine(texts::kBlankLine);

    if (!loadLines(n, texts::kAutoriFile))
        return;
    addLine(texts::kAutoriHeading);
    for (const std::string& text : TempListBox)
        addLine(text);
    AplPopis->setCurrentRow(0);
}

// A picture that fails to load leaves the one shown before; the loader has reported why.
void TPSF_ProduktyPSForm::loadPicture(std::int32_t picture)
{
    archive::Bitmap loaded;
    const std::string name = productPath(m_.AktProd) + "\\" + std::to_string(picture) + texts::kPictureExtension;
    if (m_.psk().PSK_LoadPicture(name, loaded))
        AplObr->setPicture(std::move(loaded));
}

void TPSF_ProduktyPSForm::stepPicture(int delta)
{
    // Only reachable through a disabled button, but a product without pictures has no
    // picture -1 to load.
    if (m_.PocetObr <= 0)
        return;
    m_.AktObr = std::clamp(m_.AktObr + delta, 0, m_.PocetObr - 1);
    PredchObrBtn->setEnabled(false);
    NaslObrBtn->setEnabled(false);
    {
        WaitCursor wait;
        loadPicture(m_.AktObr);
    }
    enablePictureButtons();
}

void TPSF_ProduktyPSForm::enablePictureButtons()
{
    NaslObrBtn->setEnabled(m_.AktObr < m_.PocetObr - 1);
    PredchObrBtn->setEnabled(m_.AktObr > 0);
}

void TPSF_ProduktyPSForm::NaslObrBtnClick()
{
    stepPicture(1);
}

void TPSF_ProduktyPSForm::PredchObrBtnClick()
{
    stepPicture(-1);
}

} // namespace about
