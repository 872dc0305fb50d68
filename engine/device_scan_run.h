#pragma once
#include "engine/device_scan.h"
#include "engine/surface_scan.h"

#include <sys/types.h>

#include <memory>

namespace engine {

// Large requests in order, several in flight; shallow and in order on an optical drive.
SurfaceScanSettings surfaceSettingsFor(dev_t device, double slowSeconds);

// The surface scan of a device behind the window's drive.
std::unique_ptr<DeviceScan> makeDeviceScan();

} // namespace engine
