#pragma once
#include "common/message_port.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace platform {
class DriveTable;
class KeyValueStore;
} // namespace platform

namespace common {

// Raised by PS_DriveReady for a character that is not a drive letter.
class ConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Severities of PS_Message.
inline constexpr int kSeverityInformation = 5;
inline constexpr int kSeverityQuestion = 10;
inline constexpr int kSeverityError = 20;
inline constexpr int kSeverityFatal = 30;

// "%2d : %2d : %2d" of hours, minutes and seconds, with floor quotients for negative input.
std::string PS_FormatTime(std::int32_t seconds);

// The maker's helper module: the start-up directory, the message routines, drive checks and
// names, the system directory and file copying. One object for the program; it only
// borrows the message port, the drive table and the registry store.
class Pelun {
public:
    struct Places {
        std::string startDir;          // the working directory at start-up
        std::string defaultSystemRoot; // used when the store names no "SystemRoot"
    };

    Pelun(MessagePort& port, const platform::DriveTable& drives, platform::KeyValueStore& registry, Places places);

    const std::string& PS_StartDir() const { return startDir_; }
    bool PS_ShowMessages() const { return showMessages_; }
    void setShowMessages(bool on) { showMessages_ = on; }
    const std::string& PS_LastMessage() const { return lastMessage_; }

    bool PS_ShowError(const std::string& text);
    bool PS_InternalError(int number, const std::string& text);
    bool PS_Message(int severity, const std::string& text);
    // A Yes/No question in the program's dialog; Cancel when it was closed without an answer.
    DialogResult PS_Ask(const std::string& text);

    bool PS_DriveReady(char letter);
    std::string PS_GetdriveType(char letter);
    // The same for one character of UTF-8 text, which is refused whole when it is not a
    // single byte.
    std::string PS_GetdriveType(const std::string& character);
    std::string PS_GetSystemDir();
    bool PS_CopyFile(const std::string& source, const std::string& destination);

    MessagePort& messagePort() { return *port_; }
    void setMessagePort(MessagePort& port) { port_ = &port; }
    const platform::DriveTable& drives() const { return drives_; }
    platform::KeyValueStore& registry() { return registry_; }

private:
    MessagePort* port_;
    const platform::DriveTable& drives_;
    platform::KeyValueStore& registry_;
    std::string startDir_;
    std::string defaultSystemRoot_;
    bool showMessages_ = true;
    std::string lastMessage_;
};

} // namespace common
