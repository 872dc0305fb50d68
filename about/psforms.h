#pragma once
#include <QDialog>
#include <QRect>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QGroupBox;
class QListWidget;
class QPushButton;
class QTimer;

namespace archive {
class Pskomp;
}
namespace common {
class Pelun;
}

namespace about {

class PictureView;
class TPSF_ProduktyPSForm;

// The catalogue of the maker's products: its state lives here, one window is made for
// every showing.
class PsForms {
public:
    static constexpr std::int32_t kNoProduct = -60;
    // The screen whose height picks the layout and on which the window is centred; the
    // primary screen unless a test gives another.
    using ScreenArea = std::function<QRect()>;

    PsForms(archive::Pskomp& psk, common::Pelun& pelun, ScreenArea screen = {});

    // Shows the catalogue modally above owner; false when it closed itself because the
    // product list could not be read.
    bool PSF_Produkty(QWidget* owner = nullptr);

    std::int32_t AktProd = kNoProduct;
    std::int32_t PocetObr = 0;
    std::int32_t AktObr = 0;

    // The one window, while PSF_Produkty runs.
    TPSF_ProduktyPSForm* window() const { return window_; }
    QRect screenArea() const;
    // Where windows may lie: the screen without its panels.
    QRect availableArea() const;
    archive::Pskomp& psk() { return psk_; }
    common::Pelun& pelun() { return pelun_; }

private:
    archive::Pskomp& psk_;
    common::Pelun& pelun_;
    ScreenArea screen_;
    TPSF_ProduktyPSForm* window_ = nullptr;
};

class TPSF_ProduktyPSForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kFailed = -50;
    static constexpr int kNormalHeight = 449;
    static constexpr int kEnlargedHeight = 559;

    TPSF_ProduktyPSForm(PsForms& module, QWidget* parent);

    // The state of a new window: normal layout, enlarging possible.
    void resetLayout();
    int enlarged() const { return tag_; }
    // The height with the window frame, as far as the platform tells it.
    int outerHeight() const;

    void FormShow();
    void prodSeznClick();
    void NaslObrBtnClick();
    void PredchObrBtnClick();
    void ZvetsitBtnClick();
    void ZmensitBtnClick();
    void BitBtn3Click();
    void TimerTimer();
    void Timer2Timer();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void buildInformation();
    void buildButtons();
    void applyLayout(int flag);
    void setOuterHeight(int outer);
    void moveOnScreen(int top);
    QMargins frameMargins() const;
    void centreOnScreen();
    int selectedProduct() const;
    void showProduct(std::int32_t n);
    bool loadLines(std::int32_t n, const char* file);
    void loadPicture(std::int32_t picture);
    void stepPicture(int delta);
    void enablePictureButtons();
    void addLine(const std::string& text);

    PsForms& m_;
    int tag_ = 0;
    // What the enlarged layout has added to the window's height.
    int grown_ = 0;
    QGroupBox* GroupBox1 = nullptr;
    QListWidget* prodSezn = nullptr;
    QGroupBox* AplGB = nullptr;
    PictureView* AplObr = nullptr;
    QGroupBox* Informace = nullptr;
    QListWidget* AplPopis = nullptr;
    QPushButton* PredchObrBtn = nullptr;
    QPushButton* NaslObrBtn = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* ZvetsitBtn = nullptr;
    QPushButton* ZmensitBtn = nullptr;
    QTimer* Timer = nullptr;
    QTimer* Timer2 = nullptr;
    std::vector<std::string> TempListBox;
};

} // namespace about
