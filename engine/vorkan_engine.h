#pragma once
#include "engine/background_reader.h"
#include "engine/host.h"
#include "engine/run_state.h"
#include "engine/settings.h"
#include "engine/view.h"

#include <algorithm>
#include <optional>
#include <string>

namespace common {
class Pelun;
}
namespace platform {
class Clock;
}

namespace engine {

// How the last Start ended.
enum class RunOutcome { None, Refused, NoFiles, Stopped, Finished, Failed };

// The readability test: validation, counting, reading, statistics and the result, with the
// window's handlers that act on a run. One object for the program; it talks to the window,
// the command-line tool or a test only through its host and the helper module's messages.
class VorkanEngine {
public:
    VorkanEngine(common::Pelun& pelun, EngineHost& host, platform::Clock& clock);

    // Handlers of the main window
    void StartBtnClick(const TestSettings& settings);
    void PauseBtnClick();
    void UkoncitBtnClick();   // the Stop question
    bool FormCloseQuery();    // the close question; true when the window may close
    void MainTimerTimer();
    void SoubTimerTimer();
    void VyslTestuOKBtnClick();
    void BitBtn2Click();      // "Zobrazit chyby"
    void BitBtn1Click();      // "OK" of the error list
    // Shows a page; a change of page stops both timers.
    void showPage(Page page);

    // The answer Yes to the Stop question, for hosts that stop without asking (a signal).
    void stopConfirmed();

    const RunState& state() const { return run_; }
    const MainWindowView& view() const { return view_; }
    bool running() const { return running_; }
    RunOutcome lastOutcome() const { return outcome_; }
    // A read given up by a stop may still block in the kernel (a stalled medium).
    bool readStillBlocked() const { return reader_.busy(); }
    // How many files of a directory the reader may open and read ahead of the one being
    // tested; with 0 each file is opened only when its turn has come.
    void setFilesAhead(int files) { filesAhead_ = std::max(0, files); }

private:
    // Run sequence
    void runSequence(const TestSettings& settings);
    void resetRunState();
    bool validate(const TestSettings& settings);
    bool validateDrive(const std::string& text);
    void prepareTestPage();
    void enumerate(const TestSettings& settings);
    void readPhase(const TestSettings& settings);
    void showResult();
    void endRunAfterFailure(const std::string& what);

    // Counting
    void ZjistiSoubor(const std::string& name);
    void ZjistiAdresar(const std::string& path);

    // Reading
    struct ListedFile {
        std::string name;
        std::int64_t size = 0;
        std::optional<BackgroundReader::Job> job; // queued ahead of its turn
    };
    void TestujAdresar(const std::string& path);
    void TestujSoubor(const ListedFile& file, bool followLink);
    std::optional<ReadEvent> awaitRead(BackgroundReader::Job job);
    void fileFailed(const std::string& name, std::int64_t size, std::int64_t read);

    // Statistics
    double shareDone() const;
    void refreshReadSpeeds();
    void refreshEstimate();
    int overallGauge() const;

    void yield(YieldPoint where);
    void setTitle(const std::string& title);

    common::Pelun& pelun_;
    EngineHost& host_;
    platform::Clock& clock_;
    BackgroundReader reader_;

    RunState run_;
    MainWindowView view_;
    bool quick_ = false;
    int filesAhead_ = 32;
    std::optional<unsigned long> device_; // the filesystem the walk stays on
    bool running_ = false;
    bool timeErrorOpen_ = false;
    std::string failure_;
    RunOutcome outcome_ = RunOutcome::None;
};

} // namespace engine
