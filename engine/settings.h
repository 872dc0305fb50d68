#pragma once
#include <string>

namespace engine {

enum class TestObject { Jednotka, Adresar, Soubor };

// What the settings page holds when Start is pressed.
struct TestSettings {
    TestObject object = TestObject::Jednotka; // the checked one of TestJednRB, TestAdrRB, TestSoubRB
    std::string JednE;                        // text of the drive chooser; its first character is the letter
    std::string AdrE;                         // directory as typed
    std::string SoubE;                        // file as typed
    bool RychlyTest = false;                  // RychlyTestRB checked rather than KompletniTestRB
    bool CelyPovrch = false;                  // PovrchCB: a drive's device is read whole instead of its files
};

} // namespace engine
