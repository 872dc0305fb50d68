#pragma once
#include <libmount/libmount.h>

#include <functional>
#include <string>

namespace platform {

// Calls each for every mount of the table at mountinfo (the kernel's format), in the table's
// order; false, and no call, when the table cannot be read.
bool forEachMount(const std::string& mountinfo, const std::function<void(libmnt_fs* fs)>& each);

} // namespace platform
