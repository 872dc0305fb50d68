#pragma once
#include <string>

namespace engine {

class VorkanEngine;

// The engine's last finished run as one UTF-8 JSON document (version 1): the object and the test,
// the counts, the error list in order with each entry's finding, the slow reads and the
// speed curve. A path or location that is not valid UTF-8 is written with each byte that
// breaks it as U+FFFD, and its exact bytes beside it in base64 ("path_bytes",
// "location_bytes"), so every name can be recovered.
std::string findingsJson(const VorkanEngine& engine);

// The pieces, for their own tests.
std::string base64(const std::string& bytes);
std::string jsonString(const std::string& text); // quoted; invalid UTF-8 bytes as U+FFFD

} // namespace engine
