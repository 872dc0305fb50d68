#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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

std::string toHex(std::string_view raw);
// Raw bytes of hex digits of either case; empty when text is not all hex or of odd length.
std::string fromHex(std::string_view text);

// Several digests of one stream at once, fed in order.
class MultiHasher {
public:
    explicit MultiHasher(HashSet algorithms);
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
