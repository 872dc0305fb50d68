#pragma once
#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;

namespace archive {
class Pskomp;
}
namespace common {
class Pelun;
}

namespace about {

class LinkLabel;
class PsNet;
class PsForms;

// The maker's About box: the program's title, version and credit, the maker's pages and
// links, and the way into the product catalogue.
class TDaRadidF : public QDialog {
    Q_OBJECT
public:
    // Shows the catalogue above the box; false when it could not show it.
    using ShowCatalogue = std::function<bool(QWidget* owner)>;

    // Without showCatalogue the box shows the catalogue of the maker's archives itself.
    TDaRadidF(archive::Pskomp& psk, PsNet& net, common::Pelun& pelun, ShowCatalogue showCatalogue = {},
              QWidget* parent = nullptr);
    ~TDaRadidF() override;

    void _Show(const QString& title, const QString& version, const QStringList& lines);

    void FormShow();
    void ProduktBtnClick();
    void AdresaBtnClick();
    void CoJeBtnClick();
    void LicenceBtnClick();
    void AutoriBtnClick();
    void ZavritBtnClick();
    void PSWWWL2Click();
    void PSWWW2L1Click();
    void EMailLabelClick();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildOutside();
    void buildButtons();
    void buildAuthorsPage();
    void buildProductsPage();
    void buildAddressPage();
    void buildTextPage(const char* memoName, QRect geometry, bool centred);
    QWidget* addPage(const char* name);
    LinkLabel* addLink(const char* name, QWidget* parent, QRect geometry, Qt::Alignment alignment);
    void showPage(const char* title, int page);
    bool showCatalogueWithOwnArchive();
    void centreOnScreen();

    archive::Pskomp& psk_;
    PsNet& net_;
    ShowCatalogue showCatalogue_;
    std::unique_ptr<PsForms> ownCatalogue_;
    bool shownBefore_ = false;

    QLabel* Image3 = nullptr;
    LinkLabel* PSWWWL1 = nullptr;
    QGroupBox* GroupBox = nullptr;
    QStackedWidget* Notebook = nullptr;
    QLabel* AppTitle = nullptr;
    QLabel* appVersion = nullptr;
    QPlainTextEdit* AppDescr = nullptr;
    LinkLabel* PSWWWL2 = nullptr;
    LinkLabel* PSWWWL3 = nullptr;
    LinkLabel* PSWWW2L1 = nullptr;
    LinkLabel* EMailLabel = nullptr;
    QPushButton* ProduktBtn = nullptr;
    QPushButton* AdresaBtn = nullptr;
    QPushButton* CoJeBtn = nullptr;
    QPushButton* LicenceBtn = nullptr;
    QPushButton* AutoriBtn = nullptr;
    QPushButton* ZavritBtn = nullptr;
};

} // namespace about
