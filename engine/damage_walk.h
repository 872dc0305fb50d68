#pragma once
#include "engine/damage_map.h"

#include <sys/types.h>

#include <functional>
#include <string>

namespace engine {

// Gives the map what lies on the scanned device (devicePath, number device):
// - each filesystem mounted from it or from one of its partitions is walked with the test's
//   walker, and the extents of every regular file and directory are added (FIEMAP);
// - an ISO 9660 filesystem at its start gives its files and directories from the directory
//   records (libiso9660), mounted or not; paths get the mount point in front when mounted.
// Stops early when stopped() says so.
void collectWhatLiesThere(const std::string& devicePath, dev_t device, DamageMap& map,
                          const std::function<bool()>& stopped);

// Tells the pieces that no file claims: free or in use (then the filesystem's own data) for
// the ext2/3/4 filesystems on the device or its mounted partitions, unknown elsewhere.
AreaClassifier areaClassifier(const std::string& devicePath, dev_t device);

} // namespace engine
