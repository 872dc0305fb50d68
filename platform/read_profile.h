#pragma once
#include <sys/types.h>

#include <cstddef>
#include <string>

namespace platform {

// How to read from one medium: how many requests to keep in flight and how big. Solid-state
// media serve many requests at once and in any order; a rotating disc or an optical drive
// pays a seek for every jump, so its files are read one after another, each with little in
// flight (a rotating disc still takes many small files at once).
struct ReadProfile {
    int depth = 64;                    // requests in flight, all files together
    int fileDepth = 8;                 // requests in flight within one file
    std::size_t requestSize = 1 << 20; // the largest request
    std::size_t blockSize = 4096;      // the device's logical block: alignment of direct reads
    bool inOrder = false;              // a file is asked for whole before the next begins
    bool useIoUring = true;            // false: reader threads only (VORKAN_NO_IO_URING=1)
};

// False when VORKAN_NO_IO_URING=1 asks for the paths that do without io_uring.
bool ioUringAllowed();

ReadProfile readProfileForDevice(dev_t device);
// The profile of the medium that holds path (a default one when it cannot be told).
ReadProfile readProfileFor(const std::string& path);

} // namespace platform
