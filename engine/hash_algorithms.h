#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct evp_md_st; // libcrypto's EVP_MD

namespace engine {

enum class HashAlgorithm { Md5, Sha1, Sha256, Sha512, Crc32 };
inline constexpr std::size_t kHashAlgorithms = 5;

// A set of algorithms, one bit each.
using HashSet = unsigned;
inline constexpr HashSet bitOf(HashAlgorithm a)
{
    return 1u << static_cast<unsigned>(a);
}

// The lower-case name used on the command line and in the JSON result ("sha256", "crc32").
const char* algorithmName(HashAlgorithm a);
std::optional<HashAlgorithm> algorithmNamed(std::string_view name); // any letter case
std::size_t digestBytes(HashAlgorithm a);

// The digests of one file, raw bytes; empty for an algorithm that was not computed.
struct Digests {
    std::array<std::string, kHashAlgorithms> of;
    std::int64_t bytes = 0; // how many bytes went in
    const std::string& operator[](HashAlgorithm a) const { return of[static_cast<std::size_t>(a)]; }
};

// The value of each hex digit of either case, -1 for any other byte. Looked up rather than
// compared: the digits of a digest are random, and a branch on each of them is mispredicted
// every other time (the digests of a manifest are read once per line and again for each file).
inline constexpr std::array<signed char, 256> kHexDigitValue = [] {
    std::array<signed char, 256> v{};
    for (auto& x : v)
        x = -1;
    for (int c = 0; c < 10; ++c)
        v['0' + c] = static_cast<signed char>(c);
    for (int c = 0; c < 6; ++c) {
        v['a' + c] = static_cast<signed char>(10 + c);
        v['A' + c] = static_cast<signed char>(10 + c);
    }
    return v;
}();
inline bool isHexDigit(char c)
{
    return kHexDigitValue[static_cast<unsigned char>(c)] >= 0;
}

std::string toHex(std::string_view raw);
// Raw bytes of hex digits of either case; empty when text is not all hex or of odd length.
std::string fromHex(std::string_view text);

// The digest methods of libcrypto, looked up once: looked up by name on each file's start
// they cost about as much as hashing a small file.
class DigestMethods {
public:
    DigestMethods();
    ~DigestMethods();
    DigestMethods(const DigestMethods&) = delete;
    DigestMethods& operator=(const DigestMethods&) = delete;
    const evp_md_st* of(HashAlgorithm a) const { return methods_[static_cast<std::size_t>(a)]; }

private:
    std::array<evp_md_st*, kHashAlgorithms> methods_{};
};

// Several digests of one stream at once, fed in order.
class MultiHasher {
public:
    explicit MultiHasher(HashSet algorithms, const DigestMethods* methods = nullptr);
    ~MultiHasher();
    MultiHasher(const MultiHasher&) = delete;
    MultiHasher& operator=(const MultiHasher&) = delete;

    void update(const char* data, std::size_t length);
    Digests finish();

private:
    struct Contexts;
    std::unique_ptr<Contexts> contexts_;
    std::int64_t bytes_ = 0;
};

} // namespace engine
