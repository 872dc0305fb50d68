#pragma once
#include <string>

namespace ui {

// What the directory dialog remembers between its showings, for the whole program.
struct DirSelectModule {
    explicit DirSelectModule(const std::string& workingDirectory)
        : PocatecniAdr(workingDirectory), PosledniAdr(workingDirectory)
    {}

    std::string ZvolenyAdr;   // the selection, read by the caller after OK
    std::string PocatecniAdr; // the working directory at start-up
    std::string PosledniAdr;  // where the next showing opens
};

} // namespace ui
