#pragma once
#include <cstddef>
#include <cstdint>
#include <istream>
#include <map>
#include <string>
#include <utility>
#include <vector>

// The tree a vorkan-faultfs mount serves: directories and files whose content is a fixed
// pattern, each file with at most one fault. Described line by line:
//
//   path/                              a directory (parents are created as needed)
//   path SIZE                          a file of SIZE bytes (suffix K, M or G: binary units)
//   path SIZE open-eio                 open() fails with EIO
//   path SIZE open-eacces              open() fails with EACCES
//   path SIZE eio-at OFFSET            a read that reaches OFFSET delivers the bytes before it,
//                                      a read from OFFSET on fails with EIO
//   path SIZE eio-range START END      a read that touches [START, END) fails whole with EIO;
//                                      reads before and after it deliver their data
//   path SIZE short LENGTH             the size says SIZE, but reads end at LENGTH
//   path SIZE stall OFFSET SECONDS     a read that covers OFFSET sleeps SECONDS first
//   path SIZE getattr-stall SECONDS    every look at the file's attributes sleeps SECONDS
//   path image FILE [eio START END]... [stall OFFSET SECONDS]
//                                      a file with the content of FILE (its size as it is
//                                      when the line is read), every read that touches one
//                                      of the [START, END) ranges failing whole with EIO,
//                                      and each read logged, so a loop device over it is a
//                                      disk with bad sectors whose reads a test can count
//   path SIZE ... from=FILE            (after any of the above) the content is FILE's bytes
//                                      at the same offsets instead of the pattern (an image
//                                      of a filesystem for a loop device, say)
//   path/ list-eio                     listing the directory fails with EIO
//   path/ list-stall SECONDS           listing the directory sleeps SECONDS first
//   path/ getattr-stall SECONDS        every look at the directory's attributes sleeps SECONDS
//
// Blank lines and everything from a '#' on are ignored. Names hold no blanks; entries are
// listed in the order they were described, so a test can rely on the walk order.
namespace faultfs {

enum class Fault { None, Image, OpenEio, OpenEacces, EioAt, EioRange, Short, Stall, GetattrStall, ListEio, ListStall };

struct Entry {
    std::string path; // "/" for the root, otherwise "/a/b"
    bool isDir = false;
    std::int64_t size = 0;
    Fault fault = Fault::None;
    std::int64_t offset = 0; // eio-at, stall: the offset; eio-range: its start; short: where the data ends
    std::int64_t end = 0;    // eio-range: the end
    int seconds = 0;         // the stalls only
    int imageFd = -1;        // image: the file that holds the content (open for the process's life)
    std::vector<std::pair<std::int64_t, std::int64_t>> eioRanges; // image: the failing ranges
    std::int64_t stallOffset = -1;                                // image: a read that covers it stalls first
    std::string source; // from=FILE: where the content comes from; empty: the pattern
    std::vector<std::size_t> children;
};

// What one read request gets: optionally a pause, then either data or an error.
struct ReadOutcome {
    int stallSeconds = 0;
    int error = 0;           // an errno value, or 0
    std::int64_t length = 0; // bytes to deliver from the requested offset
};

class Tree {
public:
    Tree();

    // Adds one described line; throws std::invalid_argument naming the problem.
    void addLine(const std::string& line);
    // Adds every line of a description; errors name the line number.
    void addLines(std::istream& in, const std::string& sourceName);

    const Entry* find(const std::string& path) const;
    const Entry& at(std::size_t index) const { return entries_[index]; }
    std::int64_t totalSize() const;

private:
    std::size_t ensureDir(const std::string& path);
    std::size_t addEntry(Entry entry);

    std::vector<Entry> entries_;
    std::map<std::string, std::size_t> byPath_;
};

ReadOutcome planRead(const Entry& file, std::int64_t offset, std::int64_t size);
// The content of every file: the same byte at the same offset, and never a run of equal
// bytes, so a read from a wrong offset shows.
char patternByte(std::int64_t offset);
void fillPattern(char* out, std::int64_t offset, std::int64_t length);
std::int64_t parseSize(const std::string& text);

} // namespace faultfs
