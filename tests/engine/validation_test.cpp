#include "tests/engine/engine_fixture.h"

using engine::Page;
using engine::RunOutcome;
using testing_support::EngineFixture;

namespace {

struct Validation : EngineFixture {
    void expectRefusedWith(const std::vector<std::string>& messages)
    {
        EXPECT_EQ(engine.lastOutcome(), RunOutcome::Refused);
        EXPECT_EQ(port.texts(), messages);
        EXPECT_EQ(view().page, Page::NastaveniTestu);
        EXPECT_TRUE(host.pages.empty()) << "a refused object never shows the Test page";
        EXPECT_FALSE(host.mainActive);
    }
};

} // namespace

TEST_F(Validation, refuses_an_empty_drive_text)
{
    runDrive("");
    expectRefusedWith({"Neplatné označení jednotky !"});
}

TEST_F(Validation, refuses_a_letter_that_names_no_drive_without_full_stop)
{
    runDrive("q: [nothing]");
    expectRefusedWith({"q není platné označení jednotky"});
}

TEST_F(Validation, a_non_letter_gets_the_helper_message_first)
{
    runDrive("1:");
    expectRefusedWith({"PS_GetdriveType: \"1\" není platné označení jednotky.", "1 není platné označení jednotky"});
}

TEST_F(Validation, refuses_a_drive_that_is_not_ready_after_naming_it)
{
    runDrive("E:");
    expectRefusedWith({"Jednotka E: není připravena !"});
    EXPECT_EQ(view().test.druhTOL, "Jednotka");
    EXPECT_EQ(view().test.TOL, "E:\\");
}

TEST_F(Validation, refuses_a_missing_directory_as_typed)
{
    runDir(dir / "no such dir");
    expectRefusedWith({"Adresář " + dir / "no such dir" + " není přístupný !"});
    runDir("");
    EXPECT_EQ(port.texts().back(), "Adresář  není přístupný !");
}

TEST_F(Validation, refuses_a_missing_file_and_a_directory_named_as_file)
{
    testing_support::makeDir(dir / "sub");
    runFile(dir / "missing.txt");
    runFile(dir / "sub");
    EXPECT_EQ(port.texts(),
              (std::vector<std::string>{"Soubor " + dir / "missing.txt" + " neexistuje !",
                                        "Soubor " + dir / "sub" + " neexistuje !"}));
}

TEST_F(Validation, a_refused_start_keeps_the_previous_result)
{
    testing_support::writeFile(tree() + "/a", "12");
    emptyWhenShown({tree() + "/a"}); // it comes up short
    runDir(tree(), true);
    ASSERT_EQ(engine.lastOutcome(), RunOutcome::Finished);
    ASSERT_EQ(errors().size(), 1u);
    runDir(dir / "missing");
    EXPECT_EQ(errors().size(), 1u);
    EXPECT_EQ(view().result.VyslTestu.size(), 20u);
}

TEST_F(Validation, a_drive_is_walked_from_its_mount_point_and_named_as_typed)
{
    testing_support::writeFile(dir / "x.bin", "12345");
    runDrive("D: [DATA] " + dir.path());
    ASSERT_EQ(engine.lastOutcome(), RunOutcome::Finished);
    EXPECT_EQ(view().test.TOL, "D:\\");
    EXPECT_EQ(run().CestaTestu, dir.path());
    EXPECT_EQ(view().result.VyslTestu[5], "Umístění: D:\\");
    EXPECT_EQ(view().result.VyslTestu[4], "Testovaný objekt: Jednotka");
}
