#pragma once
#include <string>

namespace testing_support {

// A chain of `depth` directories below root, each named `name` and holding one file "f"
// of 1 byte, built relative to descriptors so that the whole path may be far longer than
// PATH_MAX. Returns the path of the deepest directory as the walk joins it.
std::string makeDeepChain(const std::string& root, int depth, const std::string& name);

// Removes a tree of any depth (std::filesystem gives up beyond PATH_MAX).
void removeTree(const std::string& path);

} // namespace testing_support
