#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// The files of an ISO 9660 filesystem (Rock Ridge and Joliet names where present) from its
// directory records, read with libiso9660: each file's path inside the image ("/dir/name")
// and the bytes it takes on the medium. False when path holds no ISO 9660 filesystem.
bool forEachIsoFile(const std::string& path,
                    const std::function<void(const std::string& file, std::int64_t start, std::int64_t length)>& visit);

} // namespace platform
