#include "tools/psk_session.h"

#include "platform/user_dirs.h"

namespace tools {

PskSession::PskSession(const std::string& workingDirectory)
    : registry(platform::defaultRegistryFile()),
      pelun(port, drives, registry, {workingDirectory, platform::defaultSystemRoot()})
{}

} // namespace tools
