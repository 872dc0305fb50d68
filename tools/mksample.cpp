// Builds the sample maker archive that the program ships: the product catalogue with its
// texts and pictures, and the maker's link addresses.
//
//   mksample SAMPLE_DIR ARCHIVE
//
// SAMPLE_DIR holds SEZNAM.TXT, PSURL.TXT and a folder per product with INFO.TXT, POPIS.TXT
// and AUTORI.TXT, all in UTF-8; the pictures are painted here, as many as INFO.TXT's last
// line asks for.

#include "common/encoding.h"
#include "tools/psk_writer.h"
#include "tools/sample_pictures.h"

#include <QApplication>
#include <QBuffer>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> readLines(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

tools::PskMember textMember(const std::string& name, const std::string& path)
{
    std::string text;
    for (const std::string& line : readLines(path))
        text += line + "\r\n";
    const std::string cp1250 = common::utf8ToCp1250(text);
    return {name, {cp1250.begin(), cp1250.end()}, 1};
}

tools::PskMember jpegMember(const std::string& name, const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPG", 88))
        throw std::runtime_error("cannot encode " + name);
    return {name, {bytes.begin(), bytes.end()}, 1};
}

std::vector<tools::PskMember> sampleMembers(const std::string& dir)
{
    const std::string catalogue = "DARadid\\Produkty\\";
    std::vector<tools::PskMember> members = {textMember(catalogue + "SEZNAM.TXT", dir + "/SEZNAM.TXT"),
                                             textMember("PELUN\\LIBDATA\\PSNET\\PSURL.TXT", dir + "/PSURL.TXT")};
    const std::size_t products = readLines(dir + "/SEZNAM.TXT").size();
    for (std::size_t n = 0; n < products; ++n) {
        const std::string folder = dir + "/" + std::to_string(n) + "/";
        const std::string prefix = catalogue + std::to_string(n) + "\\";
        for (const char* file : {"INFO.TXT", "POPIS.TXT", "AUTORI.TXT"})
            members.push_back(textMember(prefix + file, folder + file));
        const std::vector<std::string> info = readLines(folder + "INFO.TXT");
        const int pictures = info.size() >= 8 ? std::stoi(info[7]) : 0;
        for (int k = 0; k < pictures; ++k) {
            QImage picture = tools::samplePicture(static_cast<int>(n), k, QString::fromStdString(info[0]));
            members.push_back(jpegMember(prefix + std::to_string(k) + ".JPG", picture));
        }
    }
    return members;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: mksample SAMPLE_DIR ARCHIVE\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    try {
        if (!tools::writePsk(argv[2], sampleMembers(argv[1]), 1)) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
