#include "tests/ui/gui_fixture.h"

#include "platform/filesystem.h"

#include <QDialog>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>

#include <chrono>
#include <memory>

namespace gui_test {

namespace {

// Polls from a timer of its own; deletes itself when done.
class Poller final : public QObject {
public:
    Poller(std::function<bool()> step, std::function<void()> onTimeout, int timeoutMs)
        : step_(std::move(step)), onTimeout_(std::move(onTimeout)),
          deadline_(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs))
    {
        setParent(qApp);
        connect(&timer_, &QTimer::timeout, this, &Poller::tick);
        timer_.start(0); // every pass of the event loop, so also at each yield of a short run
    }

private:
    void tick()
    {
        if (busy_)
            return; // the step itself is running events
        busy_ = true;
        bool done = step_();
        if (!done && std::chrono::steady_clock::now() > deadline_) {
            onTimeout_();
            done = true;
        }
        busy_ = false;
        if (done) {
            timer_.stop();
            deleteLater();
        }
    }

    std::function<bool()> step_;
    std::function<void()> onTimeout_;
    std::chrono::steady_clock::time_point deadline_;
    QTimer timer_;
    bool busy_ = false;
};

} // namespace

void whenModalWidget(std::function<bool(QWidget*)> act, int timeoutMs)
{
    new Poller(
        [act, timeoutMs] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr)
                return false;
            // Keys go to the active window: wait until the dialog is it.
            if (!QTest::qWaitForWindowActive(modal, 1000) || !act(modal))
                return false;
            // Should the dialog not close on what the test did, close it rather than hang.
            auto* dialog = qobject_cast<QDialog*>(modal);
            if (dialog == nullptr || !dialog->isVisible())
                return true;
            auto closed = std::make_shared<bool>(false);
            auto* guard = new QObject(dialog);
            QObject::connect(dialog, &QDialog::finished, guard, [closed, guard] {
                *closed = true;
                guard->deleteLater();
            });
            QTimer::singleShot(timeoutMs, guard, [closed, dialog] {
                if (!*closed) {
                    ADD_FAILURE() << "the dialog stayed open";
                    dialog->close();
                }
            });
            return true;
        },
        [] {
            ADD_FAILURE() << "the expected dialog did not open";
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        },
        timeoutMs);
}

void whenTrue(std::function<bool()> condition, std::function<void()> act, int timeoutMs)
{
    new Poller(
        [condition, act] {
            if (!condition())
                return false;
            act();
            return true;
        },
        [] { ADD_FAILURE() << "the awaited moment did not come"; }, timeoutMs);
}

void typeText(QWidget* widget, const QString& text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

void GuiTest::SetUp()
{
    previousDir_ = platform::currentDirectory();
    ASSERT_TRUE(platform::setCurrentDirectory(tmp_.path()));
    platform::Drive c;
    c.letter = 'c';
    c.mountPoint = "/";
    platform::Drive d;
    d.letter = 'd';
    d.mountPoint = tmp_.path();
    d.label = "DATA";
    std::vector<platform::Drive> drives{c, d};
    drives.insert(drives.end(), moreDrives_.begin(), moreDrives_.end());
    drives_ = platform::DriveTable::fromDrives(drives);
    registry_ = std::make_unique<platform::KeyValueStore>(tmp_ / "registry.ini");
    program_ = std::make_unique<app::Program>(
        app::Program::Machine{drives_, *registry_, clock_, tmp_.path(), tmp_ / "Windows"});
    program_->pelun().setMessagePort(port_);
    form().show();
    form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
}

void GuiTest::TearDown()
{
    // A safety net that was not needed must not act in the next test.
    const QObjectList children = qApp->children(); // a copy: deleting changes the list
    for (QObject* child : children) {
        if (auto* poller = dynamic_cast<Poller*>(child))
            delete poller;
    }
    program_.reset();
    platform::setCurrentDirectory(previousDir_);
}

int GuiTest::page()
{
    return child<QStackedWidget>("Notebook1")->currentIndex();
}

void GuiTest::click(const char* name)
{
    QPushButton* b = child<QPushButton>(name);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(b->isVisible() && b->isEnabled()) << name;
    QTest::mouseClick(b, Qt::LeftButton);
}

} // namespace gui_test
