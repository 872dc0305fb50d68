#pragma once
#include <optional>
#include <string>

namespace engine {

// Where the tested object lies, to tell the names of a manifest's lines apart: files are
// keyed by their path relative to the tested directory ("dir/file"), the way every kind of
// manifest can name them.
struct TestRoot {
    std::string walkPrefix; // what the walk's names carry before that relative path
    std::string absolute;   // the tested directory, absolute and without links
    bool singleFile = false;
    std::string fileKey; // a file test: the key of its one file

    // A directory or drive walked from walkRoot (the drive's root filesystem from "").
    static TestRoot ofDirectory(const std::string& walkRoot);
    // One file, as typed: its directory is the tested directory.
    static TestRoot ofFile(const std::string& path);

    // The key of a file as the walk named it.
    std::string keyOfWalkName(const std::string& name) const;
    // The name the walk gives the file of key.
    std::string walkNameOf(const std::string& key) const { return walkPrefix + key; }
    // The key of the name a manifest line gives, from base (the manifest's own directory
    // when it lies inside the tested object, else ""); nothing when it names a file outside.
    std::optional<std::string> resolve(const std::string& base, const std::string& name) const;
    // The manifest's directory as a key when the manifest lies inside the tested object
    // (manifestPath absolute and without links), else "".
    std::string baseOf(const std::string& manifestPath) const;
};

// The directory part of a key, "" at the top.
std::string directoryOfKey(const std::string& key);

} // namespace engine
