#pragma once
#include <cstdint>
#include <string>

namespace engine {

// The state of one run, reset by every Start. Counters of bytes and files are 64-bit; so is
// the size of one file, so files of 2 GiB and more count in full.
struct RunState {
    // Counting
    std::int64_t PocetSoub = 0; // files to test
    std::int64_t PocetAdr = 0;  // directories visited, the start directory included
    std::int64_t VelCelk = 0;   // total size of the files to test
    double ObsazenoDisk = 0;    // used space of the filesystem under test
    double ZjistenoVel = 0;     // sizes counted so far (counting gauge)
    std::string CestaTestu;     // the path both walks start from

    // Flags
    bool Bezi = false;        // false stops every walk and read loop at its next check
    bool Preruseno = false;   // the user confirmed stopping the test or closing the program
    bool FazeCteni = false;   // false while counting, true while reading
    bool Pozastaveno = false; // the Pause button holds the run

    // Reading
    std::int64_t CasStart = 0;        // seconds stamp when Start was accepted
    std::int64_t CasStartCteni = 0;   // seconds stamp when reading began
    std::int64_t Zpracovano = 0;      // bytes processed, failed files with their whole size
    std::int64_t TestovanoSoub = 0;   // files the read phase has finished with
    std::int64_t VelAktSoub = 0;      // listed size of the file being read
    std::int64_t PrectenoAktSoub = 0; // bytes of that file read so far
    std::int64_t PrectenoTik = 0;     // bytes read since the last main-timer tick

    // Times (s) and speeds
    std::int32_t DobaTrv = 0;
    std::int32_t DobaCteni = 0;
    std::int32_t DobaCelk = 0;
    std::int32_t DobaZbyv = 0;
    std::int32_t PrumRych = 0; // KB/s
    std::int64_t MaxRych = 0;  // bytes per tick
    std::int64_t AktRych = 0;  // bytes per tick
};

} // namespace engine
