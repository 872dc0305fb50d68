#pragma once
#include "common/message_port.h"

#include <cstdint>
#include <span>
#include <string>

namespace fuzzing {

// Writes data to workDir/input.psk, opens it as an archive in both modes and extracts every
// member, loading the pictures and texts among them the way the catalogue would. Messages go
// to port; the module is started in workDir and shut down again.
void exerciseArchive(const std::string& workDir, std::span<const std::uint8_t> data, common::MessagePort& port);

} // namespace fuzzing
