#pragma once
#include "engine/findings.h"

#include <string>

namespace engine {

class VorkanEngine;

// The pieces of the JSON result that checksum manifests add: the "verification" object (null
// when no manifest was used), "manifest_written" (null when none was asked for), and the
// fields of a finding that a manifest line brought (empty for other findings).
std::string verificationJson(const VorkanEngine& engine);
std::string manifestWrittenJson(const VorkanEngine& engine);
std::string manifestLineFields(const Finding& finding);

} // namespace engine
