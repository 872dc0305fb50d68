#include "common/encoding.h"

#include <gtest/gtest.h>

TEST(Encoding, czech_text_round_trips_through_windows_1250)
{
    std::string czech = "Příliš žluťoučký kůň úpěl ďábelské ódy: CHYBNÉ SOUBORY";
    std::string bytes = common::utf8ToCp1250(czech);
    EXPECT_EQ(bytes.size(), std::string("Prilis zlutoucky kun upel dabelske ody: CHYBNE SOUBORY").size());
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xF8); // ř
    EXPECT_EQ(common::cp1250ToUtf8(bytes), czech);
}

TEST(Encoding, characters_outside_the_code_page_and_broken_utf8_become_question_marks)
{
    EXPECT_EQ(common::utf8ToCp1250("a€b"),
              std::string("a\x80"
                          "b"));
    EXPECT_EQ(common::utf8ToCp1250("a\xe6\x97\xa5z"), "a?z"); // a CJK character
    EXPECT_EQ(common::utf8ToCp1250("a\xff\xfez"), "a??z");
    EXPECT_EQ(common::utf8ToCp1250("end\xc3"), "end?");
    EXPECT_EQ(common::cp1250ToUtf8(std::string("x\x98y")), "x?y"); // unassigned in the code page
    EXPECT_EQ(common::utf8ToCp1250(""), "");
}

TEST(Encoding, long_text_converts_whole)
{
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += "č";
    EXPECT_EQ(common::utf8ToCp1250(text).size(), 5000u);
}

TEST(Encoding, a_message_becomes_one_line_its_line_breaks_blanks_and_nothing_forged)
{
    EXPECT_EQ(common::messageLine("V adresáři \n\r/x\n\rnejsou žádné"), "V adresáři /x nejsou žádné");
    EXPECT_EQ(common::messageLine("a\n\rb"), "a b");
    EXPECT_EQ(common::messageLine("Adresář x\nCelkový počet chyb:0\r není"), "Adresář x?Celkový počet chyb:0? není");
    EXPECT_EQ(common::messageLine("\r\n\x1b[2J"), "???[2J");
}

TEST(Encoding, names_shown_or_written_lose_their_control_characters_and_nothing_else)
{
    struct Case {
        std::string name, shown;
    };
    const Case cases[] = {
        {"plain.txt", "plain.txt"},
        {"two\r\nlines", "two??lines"},
        {"\x1b[2Jclear", "?[2Jclear"},
        {"\x01tab\tdel\x7f", "?tab?del?"},
        {"žluťoučký kůň \xff", "žluťoučký kůň \xff"}, // the encoder deals with broken bytes
    };
    for (const Case& c : cases)
        EXPECT_EQ(common::shownName(c.name), c.shown) << c.name;
}

TEST(Encoding, only_well_formed_utf8_is_valid)
{
    EXPECT_TRUE(common::isValidUtf8("žluťoučký kůň €𝄞"));
    EXPECT_TRUE(common::isValidUtf8(""));
    // Overlong forms, surrogates, code points beyond U+10FFFF and cut sequences are not UTF-8.
    for (const char* bad : {"\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xe2\x82", "\x80", "\xf8\x88\x80\x80"})
        EXPECT_FALSE(common::isValidUtf8(bad)) << bad;
    // A cut sequence at the very end is not read past.
    std::string cut = "ab\xf0\x9d";
    EXPECT_EQ(common::utf8SequenceAt(cut, 2), 0u);
    EXPECT_EQ(common::utf8SequenceAt(cut, 0), 1u);
}

TEST(Encoding, every_byte_of_broken_utf8_becomes_its_own_question_mark_in_the_code_page)
{
    EXPECT_EQ(common::utf8ToCp1250("over\xc0\xaflong"), "over??long");
    EXPECT_EQ(common::utf8ToCp1250("s\xed\xa0\x80"), "s???");
}

TEST(Encoding, text_for_a_terminal_keeps_valid_utf8_and_marks_every_other_byte)
{
    EXPECT_EQ(common::validUtf8("čeština € 日"), "čeština € 日");
    EXPECT_EQ(common::validUtf8("a\xff\xfez"), "a??z");
    EXPECT_EQ(common::validUtf8("end\xc3"), "end?");
    EXPECT_EQ(common::validUtf8("over\xc0\xaflong"), "over??long");
    EXPECT_EQ(common::validUtf8("surrogate\xed\xa0\x80"), "surrogate???");
}

TEST(Encoding, the_first_character_is_a_whole_utf8_sequence)
{
    EXPECT_EQ(common::firstCharacter(""), "");
    EXPECT_EQ(common::firstCharacter("d:"), "d");
    EXPECT_EQ(common::firstCharacter("čd"), "č");
    EXPECT_EQ(common::firstCharacter("\xff"
                                     "d"),
              "\xff");
}
