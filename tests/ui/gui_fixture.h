#pragma once
#include "app/program.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/key_value_store.h"
#include "tests/support/recording_port.h"
#include "tests/support/temp_dir.h"
#include "ui/vorkan_f.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace gui_test {

// Runs act on the modal dialog of type T as soon as one is open. Should none open within
// the time allowed, the test fails and whatever modal widget is open is closed, so a test
// never hangs.
template <typename T>
void whenModal(std::function<void(T*)> act, int timeoutMs = 5000);

void whenModalWidget(std::function<bool(QWidget*)> act, int timeoutMs);

template <typename T>
void whenModal(std::function<void(T*)> act, int timeoutMs)
{
    whenModalWidget(
        [act](QWidget* w) {
            auto* dialog = qobject_cast<T*>(w);
            if (dialog == nullptr)
                return false;
            act(dialog);
            return true;
        },
        timeoutMs);
}

// Calls act once, at the first moment the condition holds while events are processed (a run
// lets them run at every chunk), and gives up with a failure after timeoutMs.
void whenTrue(std::function<bool()> condition, std::function<void()> act, int timeoutMs = 10000);

// Types text into the focused widget one character at a time (keyClicks cannot send letters
// outside ASCII).
void typeText(QWidget* widget, const QString& text);

// The whole program on a temporary tree: drive c is "/", drive d the temporary directory,
// which is also the working directory, so the drive list starts on d.
class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    template <typename T>
    T* child(const char* name)
    {
        T* w = form().findChild<T*>(QString::fromLatin1(name));
        if (w == nullptr)
            ADD_FAILURE() << "no control " << name;
        return w;
    }
    ui::TMainForm& form() { return program_->mainForm(); }
    app::Program& program() { return *program_; }
    engine::VorkanEngine& engine() { return program_->engine(); }
    int page();
    void click(const char* name);
    std::string path(const std::string& relative) const { return tmp_ / relative; }
    // Drives beyond c and d, for a fixture to add before this one's SetUp.
    std::vector<platform::Drive> moreDrives_;

    testing_support::TempDir tmp_;
    testing_support::RecordingPort port_;

private:
    std::string previousDir_;
    platform::DriveTable drives_;
    std::unique_ptr<platform::KeyValueStore> registry_;
    platform::SystemClock clock_;
    std::unique_ptr<app::Program> program_;
};

} // namespace gui_test
