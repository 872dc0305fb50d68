// mkpsk: packs files into a PSK archive.
#include "common/encoding.h"
#include "platform/input_file.h"
#include "tools/mkpsk_texts.h"
#include "tools/psk_writer.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

// "[METHOD:]NAME=FILE" or "FILE"; a bare file is stored under its path with "\" between parts.
// The message why the member cannot be stored, or nothing.
std::optional<std::string> parseMember(const std::string& spec, std::int32_t defaultMethod, tools::PskMember& member)
{
    std::string rest = spec;
    member.method = defaultMethod;
    if (rest.size() > 2 && (rest[0] == '0' || rest[0] == '1') && rest[1] == ':') {
        member.method = rest[0] - '0';
        rest = rest.substr(2);
    }
    std::size_t eq = rest.find('=');
    std::string file = eq == std::string::npos ? rest : rest.substr(eq + 1);
    member.name = eq == std::string::npos ? rest : rest.substr(0, eq);
    if (eq == std::string::npos) {
        for (char& c : member.name) {
            if (c == '/')
                c = '\\';
        }
    }
    // The reader finds members by name: one stored as "?" in place of what the code page
    // lacks, or with no name at all, could never be found again.
    if (member.name.empty())
        return tools::texts::kNameEmpty + spec;
    if (common::cp1250ToUtf8(common::utf8ToCp1250(member.name)) != member.name)
        return tools::texts::kNameNotCp1250 + member.name;
    int error = 0;
    switch (platform::readWholeFile(file, INT32_MAX, member.content, error)) {
    case platform::WholeFile::Read: return std::nullopt;
    case platform::WholeFile::NotRegular: return tools::texts::kNotRegular + file;
    case platform::WholeFile::TooLarge: return tools::texts::kTooLarge + file;
    default: break;
    }
    return tools::texts::kCannotRead + file + (error != 0 ? std::string(": ") + std::strerror(error) : "");
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Packs files into a PSK archive."};
    std::string output;
    std::int32_t dataVersion = 0;
    std::int32_t method = 1;
    std::vector<std::string> specs;
    app.add_option("-o,--output", output, "the archive to write")->required();
    app.add_option("--data-version", dataVersion, "the archive's DataVersion (0: none)");
    app.add_option("--method", method, "0 stored, 1 zlib, for members without a METHOD: prefix")
        ->check(CLI::IsMember({0, 1}));
    app.add_option("MEMBER", specs, "[METHOD:]NAME=FILE, or FILE stored under its own path")->required();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int rc = app.exit(e);
        return rc == 0 ? 0 : 2;
    }
    std::vector<tools::PskMember> members;
    for (const std::string& spec : specs) {
        tools::PskMember member;
        if (auto refusal = parseMember(spec, method, member)) {
            std::fprintf(stderr, "%s\n", common::shownName(*refusal).c_str());
            return 1;
        }
        members.push_back(std::move(member));
    }
    try {
        if (!tools::writePsk(output, members, dataVersion)) {
            std::fprintf(stderr, "%s%s\n", tools::texts::kCannotWrite, common::shownName(output).c_str());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mkpsk: %s\n", e.what());
        return 1;
    }
    return 0;
}
