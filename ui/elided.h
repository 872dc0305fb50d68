#pragma once
#include <QComboBox>
#include <QLabel>

namespace ui {

// Paths too long for their place are shown shortened in the middle with "…", so both the
// start of the path and the file name stay readable. text() stays whole.
class ElidedLabel final : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    // What the label shows of its text at its present width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A chooser whose closed box shows its current entry elided in the middle; the open list
// shows its entries the same way.
class ElidedComboBox final : public QComboBox {
    Q_OBJECT
public:
    explicit ElidedComboBox(QWidget* parent = nullptr);

    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int textWidth() const;
};

} // namespace ui
