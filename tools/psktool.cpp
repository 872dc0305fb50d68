// psktool: lists, prints, checks the members of a PSK archive, decodes a picture member, or
// prints a file's checksum.
#include "archive/psk_format.h"
#include "common/encoding.h"
#include "common/psmath.h"
#include "platform/filesystem.h"
#include "platform/read_only_file.h"
#include "platform/standard_streams.h"
#include "tools/psk_session.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

std::string hex8(std::uint32_t value)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

int listMembers(tools::PskSession& s, std::int32_t n)
{
    const archive::PSKArchive& a = s.module.slot(n);
    for (std::size_t i = 0; i < static_cast<std::size_t>(a.filesCount); ++i) {
        archive::format::TableRecord r = archive::format::recordAt(a.table, i);
        // A stored name may hold any byte; on a terminal a control character must not pass.
        std::string name = common::shownName(common::cp1250ToUtf8(archive::format::storedName(a.names, r.nameOffset)));
        std::printf("%d\t%d\t%d\t%d\t%s\t%s\n", r.fileNumber, r.size, r.comprSize, r.method,
                    hex8(static_cast<std::uint32_t>(r.crc)).c_str(), name.c_str());
    }
    return kExitOk;
}

int catMember(tools::PskSession& s, const std::string& member)
{
    common::MemoryStream* stream = nullptr;
    if (s.module.PSK_GetFileStream(member, stream) < 0)
        return kExitFailure;
    auto bytes = stream->bytes();
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    return kExitOk;
}

int checkMembers(tools::PskSession& s, std::int32_t n)
{
    int failed = 0;
    for (std::int32_t i = 0; i < s.module.slot(n).filesCount; ++i) {
        common::MemoryStream* stream = nullptr;
        if (s.module.extractByIndex(n, i, stream) < 0)
            ++failed;
    }
    return failed == 0 ? kExitOk : kExitFailure;
}

int showPicture(tools::PskSession& s, const std::string& member)
{
    archive::Bitmap bitmap;
    if (!s.module.PSK_LoadPicture(member, bitmap))
        return kExitFailure;
    std::printf("%dx%d\n", bitmap.width, bitmap.height);
    return kExitOk;
}

// Streams the file in bounded pieces: its size does not decide the memory taken.
int crcOfFile(const std::string& path)
{
    using Open = platform::ReadOnlyFile::Open;
    platform::ReadOnlyFile file;
    const Open opened = file.open(path);
    if (opened != Open::Opened) {
        const char* why = opened == Open::NotRegular ? "not a regular file"
            : opened == Open::HeldByWriter           ? "another process is writing it"
                                                     : "cannot open it";
        std::fprintf(stderr, "psktool: %s: %s\n", path.c_str(), why);
        return kExitFailure;
    }
    std::vector<std::uint8_t> piece(1 << 20);
    std::uint32_t crc = 0;
    for (std::int64_t offset = 0;;) {
        std::int64_t got = file.readAt(offset, piece.data(), piece.size());
        if (got < 0) {
            std::fprintf(stderr, "psktool: %s: read error\n", path.c_str());
            return kExitFailure;
        }
        if (got == 0)
            break;
        crc = common::PSK_CRC32Update(crc, std::span<const std::uint8_t>(piece.data(), static_cast<std::size_t>(got)));
        offset += got;
    }
    std::printf("%s\n", hex8(crc).c_str());
    return kExitOk;
}

// Output that did not arrive fails the command, whatever else went well.
int checkedOutput(int rc)
{
    if (int error = platform::flushStandardOutput(); error != 0) {
        std::fprintf(stderr, "psktool: cannot write to standard output: %s\n", std::strerror(error));
        return kExitFailure;
    }
    return rc;
}

int run(int argc, char** argv)
{
    CLI::App app{"Lists, prints and checks the members of PSK archives."};
    app.require_subcommand(1);
    int mode = 0;
    std::string archivePath;
    std::string member;
    std::string file;
    auto addArchive = [&](CLI::App* sub) {
        sub->add_option("--mode", mode, "0: data area in memory, 1: read on demand")->check(CLI::IsMember({0, 1}));
        sub->add_option("ARCHIVE", archivePath)->required();
    };
    CLI::App* list = app.add_subcommand("list", "one line per member: number, size, stored size, method, CRC, name");
    addArchive(list);
    CLI::App* cat = app.add_subcommand("cat", "write a member's content to standard output");
    addArchive(cat);
    cat->add_option("MEMBER", member)->required();
    CLI::App* check = app.add_subcommand("check", "extract and verify every member");
    addArchive(check);
    CLI::App* picture =
        app.add_subcommand("picture", "decode a picture member as the program would; print WIDTHxHEIGHT");
    addArchive(picture);
    picture->add_option("MEMBER", member)->required();
    CLI::App* crc = app.add_subcommand("crc", "the member checksum of a file");
    crc->add_option("FILE", file)->required();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int rc = app.exit(e);
        return rc == 0 ? kExitOk : kExitUsage;
    }
    if (crc->parsed())
        return crcOfFile(file);

    tools::PskSession session(platform::currentDirectory());
    if (!session.module.startUp(platform::currentDirectory()))
        return kExitFailure;
    std::int32_t n = -1;
    int rc = kExitFailure;
    if (session.module.PSK_OpenArchive(n, archivePath, mode)) {
        if (list->parsed())
            rc = listMembers(session, n);
        else if (cat->parsed())
            rc = catMember(session, member);
        else if (picture->parsed())
            rc = showPicture(session, member);
        else
            rc = checkMembers(session, n);
    }
    session.module.shutDown();
    return session.port.count > 0 ? kExitFailure : rc;
}

} // namespace

int main(int argc, char** argv)
{
    platform::reserveStandardDescriptors();
    std::signal(SIGPIPE, SIG_IGN);
    return checkedOutput(run(argc, argv));
}
