#include "engine/hash_algorithms.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <stdexcept>

namespace engine {

namespace {

struct Known {
    HashAlgorithm algorithm;
    const char* name;
    std::size_t bytes;
};
constexpr std::array<Known, kHashAlgorithms> kKnown{{
    {HashAlgorithm::Md5, "md5", 16},
    {HashAlgorithm::Sha1, "sha1", 20},
    {HashAlgorithm::Sha256, "sha256", 32},
    {HashAlgorithm::Sha512, "sha512", 64},
    {HashAlgorithm::Crc32, "crc32", 4},
}};

const EVP_MD* evpOf(HashAlgorithm a)
{
    switch (a) {
    case HashAlgorithm::Md5: return EVP_md5();
    case HashAlgorithm::Sha1: return EVP_sha1();
    case HashAlgorithm::Sha256: return EVP_sha256();
    case HashAlgorithm::Sha512: return EVP_sha512();
    case HashAlgorithm::Crc32: break;
    }
    return nullptr;
}

struct FreeContext {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

} // namespace

const char* algorithmName(HashAlgorithm a)
{
    return kKnown[static_cast<std::size_t>(a)].name;
}

std::optional<HashAlgorithm> algorithmNamed(std::string_view name)
{
    for (const Known& k : kKnown) {
        std::string_view known(k.name);
        if (known.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = (name[i] | 0x20) == known[i];
        if (same)
            return k.algorithm;
    }
    return std::nullopt;
}

std::size_t digestBytes(HashAlgorithm a)
{
    return kKnown[static_cast<std::size_t>(a)].bytes;
}

std::string toHex(std::string_view raw)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(raw.size() * 2);
    for (unsigned char c : raw) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

std::string fromHex(std::string_view text)
{
    if (text.size() % 2 != 0)
        return {};
    std::string raw(text.size() / 2, '\0');
    for (std::size_t i = 0; i < raw.size(); ++i) {
        int high = kHexDigitValue[static_cast<unsigned char>(text[2 * i])];
        int low = kHexDigitValue[static_cast<unsigned char>(text[2 * i + 1])];
        if (high < 0 || low < 0)
            return {};
        raw[i] = static_cast<char>(high << 4 | low);
    }
    return raw;
}

struct MultiHasher::Contexts {
    std::array<std::unique_ptr<EVP_MD_CTX, FreeContext>, kHashAlgorithms> evp;
    std::optional<uLong> crc;
};

DigestMethods::DigestMethods()
{
    for (const Known& k : kKnown) {
        if (const EVP_MD* implicit = evpOf(k.algorithm))
            methods_[static_cast<std::size_t>(k.algorithm)] =
                EVP_MD_fetch(nullptr, EVP_MD_get0_name(implicit), nullptr);
    }
}

DigestMethods::~DigestMethods()
{
    for (EVP_MD* m : methods_)
        EVP_MD_free(m);
}

MultiHasher::MultiHasher(HashSet algorithms, const DigestMethods* methods) : contexts_(std::make_unique<Contexts>())
{
    for (const Known& k : kKnown) {
        if ((algorithms & bitOf(k.algorithm)) == 0)
            continue;
        if (k.algorithm == HashAlgorithm::Crc32) {
            contexts_->crc = crc32_z(0, nullptr, 0);
            continue;
        }
        std::unique_ptr<EVP_MD_CTX, FreeContext> c(EVP_MD_CTX_new());
        const EVP_MD* method = methods && methods->of(k.algorithm) ? methods->of(k.algorithm) : evpOf(k.algorithm);
        if (!c || EVP_DigestInit_ex(c.get(), method, nullptr) != 1)
            throw std::runtime_error("EVP_DigestInit_ex");
        contexts_->evp[static_cast<std::size_t>(k.algorithm)] = std::move(c);
    }
}

MultiHasher::~MultiHasher() = default;

void MultiHasher::update(const char* data, std::size_t length)
{
    bytes_ += static_cast<std::int64_t>(length);
    for (auto& c : contexts_->evp) {
        if (c)
            EVP_DigestUpdate(c.get(), data, length);
    }
    if (contexts_->crc)
        contexts_->crc = crc32_z(*contexts_->crc, reinterpret_cast<const Bytef*>(data), length);
}

Digests MultiHasher::finish()
{
    Digests d;
    d.bytes = bytes_;
    for (std::size_t i = 0; i < kHashAlgorithms; ++i) {
        auto& c = contexts_->evp[i];
        if (!c)
            continue;
        unsigned char out[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(c.get(), out, &length);
        d.of[i].assign(reinterpret_cast<const char*>(out), length);
    }
    if (contexts_->crc) {
        auto v = static_cast<std::uint32_t>(*contexts_->crc);
        const char bytes[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                               static_cast<char>(v)};
        d.of[static_cast<std::size_t>(HashAlgorithm::Crc32)].assign(bytes, 4);
    }
    return d;
}

} // namespace engine
