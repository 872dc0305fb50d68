// mkpsk: packs files into a PSK archive.
#include "tools/psk_writer.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

// "[METHOD:]NAME=FILE" or "FILE"; a bare file is stored under its path with "\" between parts.
bool parseMember(const std::string& spec, std::int32_t defaultMethod, tools::PskMember& member, std::string& file)
{
    std::string rest = spec;
    member.method = defaultMethod;
    if (rest.size() > 2 && (rest[0] == '0' || rest[0] == '1') && rest[1] == ':') {
        member.method = rest[0] - '0';
        rest = rest.substr(2);
    }
    std::size_t eq = rest.find('=');
    file = eq == std::string::npos ? rest : rest.substr(eq + 1);
    member.name = eq == std::string::npos ? rest : rest.substr(0, eq);
    if (eq == std::string::npos) {
        for (char& c : member.name) {
            if (c == '/')
                c = '\\';
        }
    }
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    member.content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
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
        std::string file;
        if (!parseMember(spec, method, member, file)) {
            std::fprintf(stderr, "mkpsk: cannot read %s\n", file.c_str());
            return 1;
        }
        members.push_back(std::move(member));
    }
    try {
        if (!tools::writePsk(output, members, dataVersion)) {
            std::fprintf(stderr, "mkpsk: cannot write %s\n", output.c_str());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mkpsk: %s\n", e.what());
        return 1;
    }
    return 0;
}
