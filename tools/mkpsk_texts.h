#pragma once
// The messages of mkpsk; each is followed by the file or name it is about.

namespace tools::texts {

inline constexpr const char* kCannotRead = "mkpsk: cannot read ";
inline constexpr const char* kNotRegular = "mkpsk: not a regular file: ";
inline constexpr const char* kTooLarge = "mkpsk: larger than a member may be (2147483647 bytes): ";
inline constexpr const char* kNameNotCp1250 = "mkpsk: the member name cannot be written in Windows-1250: ";
inline constexpr const char* kNameEmpty = "mkpsk: a member needs a name: ";
inline constexpr const char* kCannotWrite = "mkpsk: cannot write ";

} // namespace tools::texts
