#include "tests/archive/archive_fixture.h"

#include "archive/psk_format.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <zlib.h>

#include <fstream>

using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;

namespace {

const std::string kWriteError = "PSK_Copress: Nepodařilo se zapsat dekomprimovana data do streamu (tato chyba je "
                                "pravděpodobně způsobena nedostatkem paměti) (MemoryStream write error)";
const std::string kLength = "PSK_GetFileStream: Při dekompresi dat došlo k chybě (archív je pravděpodobně poškozen)";

// A zlib stream of size zero bytes, made piece by piece so the content never exists whole.
Bytes deflatedZeros(std::size_t size)
{
    z_stream z{};
    deflateInit(&z, Z_BEST_COMPRESSION);
    const Bytes zeros(1 << 20, 0);
    Bytes out;
    Bytes piece(1 << 16);
    for (std::size_t left = size;;) {
        const std::size_t now = std::min(left, zeros.size());
        left -= now;
        z.next_in = const_cast<Bytef*>(zeros.data());
        z.avail_in = static_cast<uInt>(now);
        int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        int rc = Z_OK;
        do {
            z.next_out = piece.data();
            z.avail_out = static_cast<uInt>(piece.size());
            rc = deflate(&z, flush);
            out.insert(out.end(), piece.data(), piece.data() + (piece.size() - z.avail_out));
        } while (z.avail_out == 0);
        if (rc == Z_STREAM_END)
            break;
    }
    deflateEnd(&z);
    return out;
}

// An archive whose member "Z" holds stream as its zlib data and claims size bytes of
// content (the checksum is the one of size zero bytes only by chance).
Bytes zlibMemberArchive(const Bytes& stream, std::int32_t size)
{
    Bytes bytes = tools::buildPsk({{"Z", stream, 0}, {"A", bytesOf("abc"), 0}}, 0);
    putInt32(bytes, tools::recordField(0, tools::kFieldMethod), archive::format::kMethodZlib);
    putInt32(bytes, tools::recordField(0, tools::kFieldSize), size);
    return bytes;
}

std::int64_t addressSpaceInUse()
{
    std::ifstream statm("/proc/self/statm");
    std::int64_t pages = 0;
    statm >> pages;
    return pages * ::sysconf(_SC_PAGESIZE);
}

} // namespace

TEST_F(ArchiveFixture, a_member_claiming_more_than_its_stored_bytes_can_inflate_to_is_refused_before_inflating)
{
    const Bytes stream = deflatedZeros(4 << 20);
    writeBytes(dir / "z.psk", zlibMemberArchive(stream, INT32_MAX));
    for (std::int32_t mode : {0, 1}) {
        std::int32_t n = open(dir / "z.psk", mode);
        ASSERT_GE(n, 0);
        port.shown.clear();
        EXPECT_EQ(psk.PSK_GetFileStream("Z"), -1);
        EXPECT_EQ(messages(), std::vector<std::string>{kLength});
        // Nothing was inflated: the claim alone decided.
        EXPECT_EQ(psk.FileData().size(), 0u);
        psk.PSK_CloseArchive(n);
    }
}

// A member whose content does not fit in the memory left is reported with the module's
// memory message, and the program goes on; before, the process ended in std::bad_alloc.
TEST_F(ArchiveFixture, a_member_too_large_for_the_memory_left_is_reported_instead_of_ending_the_process)
{
#if defined(__SANITIZE_ADDRESS__)
    constexpr bool kAddressSanitizer = true;
#else
    constexpr bool kAddressSanitizer = false;
#endif
    if (kAddressSanitizer)
        GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit would leave";
    constexpr std::int32_t kContent = 160 << 20;
    writeBytes(dir / "z.psk", zlibMemberArchive(deflatedZeros(kContent), kContent));
    ASSERT_EQ(open(dir / "z.psk", 1), 0);
    port.shown.clear();
    ::fflush(nullptr);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlim_t limit = static_cast<rlim_t>(addressSpaceInUse() + (64 << 20));
        const rlimit lim{limit, limit};
        ::setrlimit(RLIMIT_AS, &lim);
        int failed = 0;
        failed |= psk.PSK_GetFileStream("Z") == -1 ? 0 : 1;
        failed |= messages() == std::vector<std::string>{kWriteError} ? 0 : 2;
        failed |= psk.PSK_GetFileStream("A") == 1 && textOf(psk.FileData()) == "abc" ? 0 : 4;
        ::_exit(failed);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: extracted, 2: another message, 4: the next extraction failed";
}

TEST_F(ArchiveFixture, an_archive_that_another_writer_holds_open_is_refused_until_it_lets_go)
{
    std::string path = archiveFile("w.psk", {member("A", "abc")});
    {
        platform::UniqueFd probe(::open(path.c_str(), O_RDONLY));
        if (::fcntl(probe.get(), F_SETLEASE, F_RDLCK) != 0)
            GTEST_SKIP() << "no file leases on this filesystem";
        ::fcntl(probe.get(), F_SETLEASE, F_UNLCK);
    }
    // The kernel counts every open for writing, this process's own included.
    platform::UniqueFd writer(::open(path.c_str(), O_WRONLY));
    ASSERT_TRUE(writer);
    for (std::int32_t mode : {0, 1})
        EXPECT_EQ(open(path, mode), -1);
    EXPECT_EQ(messages(),
              std::vector<std::string>(
                  2, "PSK_OpenArchive: Není možné číst data ze souboru \"" + path + "\" (soubor není možné otevřít) "));
    writer.reset();
    EXPECT_EQ(open(path, 1), 0);
}

TEST_F(ArchiveFixture, a_member_whose_name_leaves_the_names_block_fails_a_walk_over_the_table)
{
    tools::PskLayout layout;
    Bytes bytes = tools::buildPsk({member("AB", "1"), member("CD", "2"), member("EF", "3")}, 0, &layout);
    putInt32(bytes, tools::recordField(0, tools::kFieldNameOffset), 1 << 30);
    putInt32(bytes, tools::recordField(1, tools::kFieldNameOffset), -1);
    bytes[layout.dataStart - 1] = 'X'; // "EF*" becomes "EFX" at the end of the block
    writeBytes(dir / "o.psk", bytes);
    ASSERT_EQ(open(dir / "o.psk"), 0);
    for (std::int32_t i = 0; i < 3; ++i) {
        common::MemoryStream* stream = nullptr;
        EXPECT_EQ(psk.extractByIndex(0, i, stream), -1) << i;
    }
    EXPECT_EQ(messages(),
              std::vector<std::string>(3, "PSK_GetFileStream: Chybná data archívu (FileTable: NameOffset)"));
}

TEST_F(ArchiveFixture, a_kept_archive_cut_short_after_opening_fails_its_extraction_as_a_read_failure)
{
    tools::PskLayout layout;
    std::string path = dir / "cut.psk";
    writeBytes(path, tools::buildPsk({member("A", "abc", 0), member("B", std::string(5000, 'b'))}, 0, &layout));
    ASSERT_EQ(open(path, 1), 0);
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(layout.blockStarts[1] + 8)), 0);
    EXPECT_EQ(psk.PSK_GetFileStream("B"), -1);
    EXPECT_EQ(messages(),
              std::vector<std::string>{"PSK_GetFileStream: Nepodařilo se přečíst data z archívu: \"" + path + "\""});
    EXPECT_EQ(psk.PSK_GetFileStream("A"), 1);
}
