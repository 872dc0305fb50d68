#pragma once
#include "engine/host.h"

#include <string>
#include <vector>

namespace engine {

// A progress gauge holds a whole number clamped to 0..100.
class Gauge {
public:
    void set(long long value) { value_ = value < 0 ? 0 : (value > 100 ? 100 : static_cast<int>(value)); }
    int value() const { return value_; }

private:
    int value_ = 0;
};

// What the Test page shows; the report quotes these texts as they stand at the end of a run.
struct TestPageView {
    std::string druhTOL;   // kind of test object
    std::string TOL;       // location of the test object
    std::string TypTestuL; // test type
    std::string DobaTrvL, DobaCelkL, DobaZbyvL;
    std::string PrumRychL, MaxRychL, AktRychL;
    std::string StavL;              // state text
    std::string Label3 = "Soubor:"; // caption before SoubJML
    std::string SoubJML;            // file or directory at hand
    Gauge PrubehSoub;               // current file (during the counting: counting progress)
    Gauge Prubeh;                   // overall progress
    std::string PauseBtn = "Pozastavit";
    bool UkoncitBtnEnabled = true;
};

// The result page and the error list.
struct ResultView {
    std::vector<std::string> VyslTestu; // the report lines
    std::vector<std::string> ChybSezn;  // failed files, in order of failure
    std::string PocetchybL;             // the error count text
    bool PocetchybRed = false;          // red when there are errors, black otherwise
};

struct MainWindowView {
    Page page = Page::NastaveniTestu;
    std::string title;
    TestPageView test;
    ResultView result;
};

} // namespace engine
