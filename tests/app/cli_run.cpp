#include "cli_run.h"

#include <stdexcept>
#include <utility>

namespace cli_testing {

std::vector<std::string> cliCommand(const std::vector<std::string>& args)
{
    std::vector<std::string> argv{VORKAN_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

ProcessResult runCli(const std::vector<std::string>& args, std::chrono::milliseconds timeout)
{
    return testing_support::runProcess(cliCommand(args), timeout);
}

Protocol parseProtocol(const std::string& text)
{
    Protocol p;
    if (text.empty() || text.back() != '\n') {
        p.problem = "does not end with a line end";
        return p;
    }
    if (text.find('\r') != std::string::npos) {
        p.problem = "holds CR";
        return p;
    }
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    if (lines.size() < 24) {
        p.problem = "has only " + std::to_string(lines.size()) + " lines";
        return p;
    }
    p.report.assign(lines.begin(), lines.begin() + 20);
    if (lines[20] != " " || lines[21] != "CHYBNÉ SOUBORY: " || lines[lines.size() - 2] != " " ||
        lines.back() != "---- Konec protokolu --------- ") {
        p.problem = "lacks the frame of the failed-file list";
        return p;
    }
    p.failed.assign(lines.begin() + 22, lines.end() - 2);
    p.wellFormed = true;
    return p;
}

std::vector<std::string> protocolLines(const Protocol& p)
{
    std::vector<std::string> lines = p.report;
    lines.push_back(" ");
    lines.push_back("CHYBNÉ SOUBORY: ");
    lines.insert(lines.end(), p.failed.begin(), p.failed.end());
    lines.push_back(" ");
    lines.push_back("---- Konec protokolu --------- ");
    return lines;
}

std::string toCp1250(const std::string& utf8)
{
    static const std::pair<const char*, unsigned char> kLetters[] = {
        {"á", 0xE1}, {"č", 0xE8}, {"ď", 0xEF}, {"é", 0xE9}, {"ě", 0xEC}, {"í", 0xED}, {"ň", 0xF2}, {"ó", 0xF3},
        {"ř", 0xF8}, {"š", 0x9A}, {"ť", 0x9D}, {"ú", 0xFA}, {"ů", 0xF9}, {"ý", 0xFD}, {"ž", 0x9E}, {"Á", 0xC1},
        {"Č", 0xC8}, {"Ď", 0xCF}, {"É", 0xC9}, {"Ě", 0xCC}, {"Í", 0xCD}, {"Ň", 0xD2}, {"Ó", 0xD3}, {"Ř", 0xD8},
        {"Š", 0x8A}, {"Ť", 0x8D}, {"Ú", 0xDA}, {"Ů", 0xD9}, {"Ý", 0xDD}, {"Ž", 0x8E},
    };
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            out += utf8[i++];
            continue;
        }
        bool found = false;
        for (const auto& [letter, code] : kLetters) {
            std::string l = letter;
            if (utf8.compare(i, l.size(), l) == 0) {
                out += static_cast<char>(code);
                i += l.size();
                found = true;
                break;
            }
        }
        if (!found)
            throw std::invalid_argument("no Windows-1250 letter for the text at " + std::to_string(i));
    }
    return out;
}

} // namespace cli_testing
