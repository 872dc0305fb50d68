#include "fuzz/psk_exercise.h"
#include "tests/support/recording_port.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using namespace testing_support;

namespace {

const std::string kNotFound = "PSK_GetFileLocation: Nemohu najít soubor: ";
const std::string kLength = "PSK_GetFileStream: Při dekompresi dat došlo k chybě (archív je pravděpodobně poškozen)";
const std::string kBadName = "PSK_GetFileStream: Chybná data archívu (FileTable: NameOffset)";
const std::string kReadFailure = "PSK_GetFileStream: Nepodařilo se přečíst data z archívu: \"{input}\"";

// Each input of the corpus once made the reader fail (a crash, an abort, or a wrong result);
// replayed the way the fuzz target runs it, it must give exactly these messages. "{input}"
// stands for the path of the input file. Both open modes run, so most lines come twice.
const std::map<std::string, std::vector<std::string>>& expectations()
{
    auto twice = [](std::vector<std::string> once) {
        std::vector<std::string> both = once;
        both.insert(both.end(), once.begin(), once.end());
        return both;
    };
    auto bad = [](const std::string& label, const std::string& name) {
        return label + ": Chybná struktura souboru \"" + name + "\"";
    };
    static const std::map<std::string, std::vector<std::string>> table = {
        // Size claimed 2 GiB of a small stream: memory was reserved ahead and ran out.
        {"forged-size.psk", twice({kLength, kLength})},
        // DataOffset past the data area: an internal error instead of the read failure.
        {"block-past-end.psk", twice({kReadFailure, kReadFailure})},
        // A name without its "*", and one outside the names block: the members extracted.
        {"name-without-star.psk", twice({kBadName, kNotFound + "\"B.TXT\""})},
        {"name-offset-outside.psk", twice({kBadName, kNotFound + "\"\""})},
        // An empty names block hid the wrong FileNumber behind the length message.
        {"names-empty-bad-number.psk",
         twice({"PSK_OpenArchive: Soubor \"{input}\" má chybnou strukturu dat nebo je poškozen (FileTable: "
                "FileNumber)"})},
        // Pictures that loaded although cut, or that took memory for nothing.
        {"cut.jpg.psk", twice({bad("PSK_LoadJpgBitmap", "P\\cut.jpg")})},
        {"cut.bmp.psk", twice({bad("PSK_LoadBitmap", "P\\cut.bmp")})},
        {"claims-8192.jpg.psk", twice({bad("PSK_LoadJpgBitmap", "P\\huge.jpg")})},
        {"rle.bmp.psk", twice({bad("PSK_LoadBitmap", "P\\rle.bmp")})},
        // A CMYK picture was refused.
        {"cmyk.jpg.psk", {}},
    };
    return table;
}

std::vector<std::string> replay(const std::string& file)
{
    TempDir dir;
    RecordingPort port;
    std::string bytes = readFile(file);
    fuzzing::exerciseArchive(dir.path(), {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, port);
    std::vector<std::string> texts = port.texts();
    for (std::string& t : texts) {
        std::size_t at = t.find(dir / "input.psk");
        if (at != std::string::npos)
            t.replace(at, (dir / "input.psk").size(), "{input}");
    }
    return texts;
}

} // namespace

TEST(fuzz_corpus, every_input_that_once_found_a_fault_gives_its_messages_and_nothing_worse)
{
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(FUZZ_CORPUS_DIR)) {
        if (entry.path().extension() != ".psk")
            continue;
        ++files;
        const std::string name = entry.path().filename();
        auto expected = expectations().find(name);
        std::vector<std::string> got = replay(entry.path());
        ASSERT_NE(expected, expectations().end()) << name << " has no expectation";
        EXPECT_EQ(got, expected->second) << name;
    }
    EXPECT_EQ(files, expectations().size());
}
