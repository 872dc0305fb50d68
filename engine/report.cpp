#include "engine/report.h"

#include "common/encoding.h"
#include "engine/report_texts.h"
#include "platform/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace engine {

std::vector<std::string> reportLines(const TestPageView& test, const RunState& run, std::size_t errorCount)
{
    using namespace texts;
    return {
        kReportTitle,
        std::string(kReportStars, '*'),
        "",
        kNastaveniTestu,
        kTestovanyObjekt + test.druhTOL,
        kUmisteni + test.TOL,
        kTypTestu + test.TypTestuL,
        "",
        kInformace,
        kDobaTrvaniTestu + test.DobaTrvL,
        kPrumernaRychlost + test.PrumRychL,
        kMaximalniRychlost + test.MaxRychL,
        "",
        kTestovaneObjekty,
        kPocetSouboru + std::to_string(run.PocetSoub),
        kPocetAdresaru + std::to_string(run.PocetAdr),
        kVelikostObjektu + std::to_string(run.VelCelk) + kBajty,
        "",
        kChyby,
        kCelkovyPocetChyb + std::to_string(errorCount),
    };
}

std::vector<std::string> protocolLines(const ResultView& result)
{
    std::vector<std::string> lines = result.VyslTestu;
    lines.push_back(" ");
    lines.push_back(texts::kChybneSoubory);
    lines.insert(lines.end(), result.ChybSezn.begin(), result.ChybSezn.end());
    lines.push_back(" ");
    lines.push_back(texts::kKonecProtokolu);
    return lines;
}

std::string joinLines(const std::vector<std::string>& lines, const char* eol)
{
    std::string text;
    for (const auto& line : lines)
        text += line + eol;
    return text;
}

namespace {

// A link to an existing file is saved through: the file it names is replaced.
std::string destinationOf(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr)
            return resolved;
    }
    return path;
}

bool writeAll(int fd, const std::string& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

mode_t modeForNewFile()
{
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

SaveResult failure(const char* failedText, const std::string& path, int error)
{
    return {false, failedText + path + " (" + std::strerror(error) + ")"};
}

} // namespace

SaveResult saveFile(const std::string& path, const std::string& data, const char* failedText)
{
    const std::string target = destinationOf(path);
    std::string temp = target + ".XXXXXX";
    platform::UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd)
        return failure(failedText, path, errno);
    struct stat existing {};
    mode_t mode = ::stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : modeForNewFile();
    bool ok = ::fchmod(fd.get(), mode) == 0 && writeAll(fd.get(), data) && ::fsync(fd.get()) == 0;
    int error = errno;
    ok = fd.close() && ok;
    if (ok && ::rename(temp.c_str(), target.c_str()) == 0)
        return {true, {}};
    if (ok)
        error = errno;
    ::unlink(temp.c_str());
    return failure(failedText, path, error == 0 ? EIO : error);
}

SaveResult saveProtocol(const std::string& path, const std::vector<std::string>& lines)
{
    return saveFile(path, common::utf8ToCp1250(joinLines(lines, "\r\n")), texts::kProtokolNelzeUlozit);
}

} // namespace engine
