#include "engine/report.h"

#include "common/encoding.h"
#include "engine/report_texts.h"
#include "platform/save_file.h"

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
        kUmisteni + common::shownName(test.TOL),
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
    for (const auto& name : result.ChybSezn)
        lines.push_back(common::shownName(name));
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

SaveResult saveFile(const std::string& path, const std::string& data, const char* failedText)
{
    int error = platform::saveFile(path, data);
    if (error == 0)
        return {true, {}};
    return {false, failedText + path + " (" + std::strerror(error) + ")"};
}

SaveResult saveProtocol(const std::string& path, const std::vector<std::string>& lines)
{
    return saveFile(path, common::utf8ToCp1250(joinLines(lines, "\r\n")), texts::kProtokolNelzeUlozit);
}

} // namespace engine
