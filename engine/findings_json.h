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

// The pieces, shared by the other JSON documents of the engine and tested on their own.
std::string base64(const std::string& bytes);
std::string jsonString(const std::string& text); // quoted; invalid UTF-8 bytes as U+FFFD
// A whole number without a fraction, anything else with three decimals; 0 for NaN/infinity.
std::string jsonNumber(double value);
// "key": "text" and, where text is not valid UTF-8, "key_bytes": its bytes in base64.
std::string jsonNamedText(const char* key, const std::string& text);

} // namespace engine
