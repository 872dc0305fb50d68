#pragma once
#include <string>

namespace platform {

// The per-user stand-in for the machine's registry: string values in named keys, kept in an
// INI file ("[Software\PELUN Software\SystemPSKFiles]", then "Name=Value" lines). Value
// names compare without regard to letter case; key names as they stand. Every write
// rewrites the file through the program's saving rules: atomically where the file can be
// replaced as it was, so a crash never leaves a half-written store.
class KeyValueStore {
public:
    explicit KeyValueStore(std::string file) : file_(std::move(file)) {}

    const std::string& file() const { return file_; }
    // The value, or fallback when the file, the key or the value is missing.
    std::string read(const std::string& key, const std::string& name, const std::string& fallback) const;
    // Sets the value, creating the key (and the file and its directory) when missing.
    bool write(const std::string& key, const std::string& name, const std::string& value);

private:
    std::string file_;
};

} // namespace platform
