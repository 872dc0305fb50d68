#include "common/pelun.h"
#include "engine/verification.h"
#include "engine/vorkan_engine.h"

#include <set>

namespace engine {

namespace {

std::string baseName(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string directoryOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

// The manifests named by the user are read before the counting: one that cannot be used
// refuses the run with a message, as an object that cannot be tested does. They may lie on
// a failing medium, so they are read off the engine's thread.
VorkanEngine::Admission VorkanEngine::prepareVerification()
{
    verification_.reset();
    writer_.reset();
    foundManifests_.clear();
    awaitingDigests_.clear();
    hashing_ = false;
    reader_.setHashing(0);
    if (quick_ || !verifyRequest_.any())
        return Admission::Accepted;
    hashRoot_ =
        object_ == TestObject::Soubor ? TestRoot::ofFile(run_.CestaTestu) : TestRoot::ofDirectory(run_.CestaTestu);
    if (verifyRequest_.write)
        writer_ = std::make_shared<ManifestWriter>(*verifyRequest_.write);
    hashing_ = true;
    if (verifyRequest_.manifests.empty() && !verifyRequest_.found)
        return Admission::Accepted;
    auto verification = std::make_shared<Verification>(hashRoot_);
    auto message = std::make_shared<std::string>();
    auto usable = askOffThread([verification, message, paths = verifyRequest_.manifests] {
        for (const std::string& path : paths) {
            *message = verification->addGiven(path);
            if (!message->empty())
                return false;
        }
        return true;
    });
    if (!usable)
        return Admission::GivenUp;
    if (!*usable) {
        pelun_.PS_ShowError(*message);
        return Admission::Refused;
    }
    verification_ = std::move(verification);
    return Admission::Accepted;
}

void VorkanEngine::noteFoundManifest(const std::string& name)
{
    if (!verification_ || !verifyRequest_.found || object_ == TestObject::Soubor)
        return;
    std::string base = baseName(name);
    if (base == "bagit.txt" || isManifestName(base) || bagitManifestAlgorithm(base))
        foundManifests_.push_back(name);
}

// The manifests found while counting are read from the medium before the read phase, so
// that each file can be held against them as it is read. False when a stop came meanwhile.
bool VorkanEngine::loadFoundManifests()
{
    if (!hashing_)
        return true;
    HashSet algorithms = writer_ ? bitOf(writer_->algorithm()) : 0;
    if (verification_) {
        std::set<std::string> bags;
        for (const std::string& name : foundManifests_) {
            if (baseName(name) == "bagit.txt")
                bags.insert(directoryOf(name));
        }
        std::vector<std::pair<std::string, std::optional<HashAlgorithm>>> found;
        for (const std::string& name : foundManifests_) {
            std::string base = baseName(name);
            if (isManifestName(base))
                found.emplace_back(name, std::nullopt);
            else if (auto a = bagitManifestAlgorithm(base); a && bags.count(directoryOf(name)) != 0)
                found.emplace_back(name, a);
        }
        foundManifests_.clear();
        auto verification = verification_;
        auto loaded = askOffThread([verification, found = std::move(found)] {
            for (const auto& [name, bagit] : found)
                verification->addFound(name, bagit);
            verification->seal();
            return true;
        });
        if (!loaded) {
            verification_.reset();
            return false;
        }
        if (verification_->manifests().empty())
            verification_.reset(); // nothing was found to verify
        else
            algorithms |= verification_->algorithms();
    }
    hashing_ = algorithms != 0;
    reader_.setHashing(algorithms);
    return true;
}

namespace {

// Awaited at most: the reader keeps the events of each until they are taken.
constexpr std::size_t kDigestsAwaited = 64;

} // namespace

// The digests come after the file's last chunk, once a hashing thread has them. The engine
// goes on with the next files meanwhile and takes the digests in walk order, all of them
// before anything found later goes into the error list, so each checksum finding stands
// where the walk read its file.
void VorkanEngine::fileReadWhole(const ListedFile& file)
{
    awaitingDigests_.push_back(file);
    while (awaitingDigests_.size() > kDigestsAwaited && settleDigest(true)) {}
    takeArrivedDigests();
}

void VorkanEngine::takeArrivedDigests()
{
    while (!awaitingDigests_.empty() && settleDigest(false)) {}
}

void VorkanEngine::awaitDigests()
{
    while (!awaitingDigests_.empty() && settleDigest(true)) {}
}

// The oldest file awaited, held against the manifests once its digests came. False when
// they have not come yet (wait: a stop came first; the files still awaited are then given
// up, unverified).
bool VorkanEngine::settleDigest(bool wait)
{
    const ListedFile& file = awaitingDigests_.front();
    std::optional<ReadEvent> e;
    do
        e = wait ? awaitRead(file) : reader_.poll(file.job);
    while (e && e->kind != ReadEvent::Kind::Hashed);
    if (!e && !wait)
        return false;
    if (!e) {
        for (const ListedFile& given : awaitingDigests_)
            reader_.finish(given.job);
        awaitingDigests_.clear();
        return false;
    }
    ListedFile done = std::move(awaitingDigests_.front());
    awaitingDigests_.pop_front();
    reader_.finish(done.job);
    if (!e->digests)
        return true;
    if (verification_) {
        if (auto finding = verification_->fileHashed(done.name, *e->digests))
            insertFinding(done.name, std::move(*finding));
    }
    if (writer_)
        writer_->add(hashRoot_.keyOfWalkName(done.name), *e->digests);
    return true;
}

void VorkanEngine::fileNotReadWhole(const ListedFile& file, bool failed)
{
    if (!failed)
        return; // stopped before its end
    if (verification_)
        verification_->fileUnreadable(file.name);
    if (writer_)
        writer_->leaveOut();
}

// After the walk, in manifest order: the files the manifests name that the walk never read.
void VorkanEngine::addMissingFiles()
{
    if (!verification_ || !run_.Bezi)
        return;
    auto verification = verification_;
    auto missing = std::make_shared<std::vector<std::pair<std::string, Finding>>>();
    if (!askOffThread([verification, missing] {
            *missing = verification->missing();
            return true;
        }))
        return;
    for (auto& [path, finding] : *missing)
        addFinding(path, std::move(finding));
}

} // namespace engine
