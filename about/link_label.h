#pragma once
#include <QLabel>

namespace about {

// A one-line label in blue bold type with a hand cursor that reports a click.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& objectName, QWidget* parent);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace about
