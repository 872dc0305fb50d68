#include "engine/file_job.h"

#include <algorithm>
#include <cerrno>

namespace engine {

namespace {

// How far a file may be read ahead of what the engine has consumed of it: room for a full
// set of requests in flight and a little that came back and waits for the engine.
std::int64_t mostAhead(const ReadProfile& p, bool farAhead)
{
    constexpr std::int64_t kFarAhead = std::int64_t{4} << 30;
    return farAhead ? kFarAhead : p.fileDepth * static_cast<std::int64_t>(p.requestSize) + (2 << 20);
}

// The quick test reads a page rather than one logical block: it costs the device the same,
// and the first pages of small files that lie side by side merge into one request, which
// sectors that leave gaps between them cannot.
constexpr std::size_t quickRequest = platform::kSafeBlockSize;

std::int64_t roundUp(std::int64_t value, std::int64_t block)
{
    return (value + block - 1) / block * block;
}

} // namespace

FileJob::FileJob(FileToRead file, const ReadProfile& profile)
    : file_(std::move(file)), profile_(profile), end_(file_.quick                ? kQuickTestBytes
                                                          : file_.listedSize > 0 ? file_.listedSize
                                                                                 : kChunkSize),
      largest_(file_.quick ? quickRequest : std::max<std::size_t>(profile.requestSize, kChunkSize)),
      normalLargest_(largest_)
{}

std::optional<FileJob::Request> FileJob::next() const
{
    if (writingBack_)
        return std::nullopt;
    if (bad_)
        return pending_.empty() ? std::optional<Request>(Request{bad_->probe, profile_.blockSize}) : std::nullopt;
    if (!hasMore() || pending_.size() >= static_cast<std::size_t>(needsDeviceAlone() ? 1 : profile_.fileDepth))
        return std::nullopt;
    const auto block = static_cast<std::int64_t>(profile_.blockSize);
    std::int64_t rest = end_ - nextOffset_;
    // Direct reads cover whole blocks; the last one is cut to the size when it comes back.
    // An unaligned start only follows a short read (a FUSE filesystem may deliver the bytes
    // before a fault), and is sent as it is. The quick test's first read is a whole page.
    std::int64_t aligned =
        file_.quick && nextOffset_ == 0 ? static_cast<std::int64_t>(quickRequest) : roundUp(rest, block);
    std::int64_t length = std::min(static_cast<std::int64_t>(largest_), nextOffset_ % block == 0 ? aligned : rest);
    std::int64_t ahead = nextOffset_ - consumedChunks_ * kChunkSize;
    if (!mapping_ && ahead > 0 && ahead + length > mostAhead(profile_, farAhead_))
        return std::nullopt;
    return Request{nextOffset_, static_cast<std::size_t>(length)};
}

void FileJob::sent(std::uint64_t tag, const Request& request)
{
    pending_.push_back({tag, request});
    nextOffset_ = request.offset + static_cast<std::int64_t>(request.length);
}

FileJob::Outcome FileJob::done(std::uint64_t tag, std::int64_t result)
{
    Outcome out;
    auto it = std::find_if(pending_.begin(), pending_.end(), [&](const Pending& p) { return p.tag == tag; });
    if (it == pending_.end())
        return out;
    it->done = true;
    it->result = result;
    while (!pending_.empty() && pending_.front().done && !finished_) {
        Pending p = pending_.front();
        pending_.pop_front();
        takeResult(p, out);
    }
    return out;
}

bool FileJob::awaits(std::uint64_t tag) const
{
    return !finished_ && std::any_of(pending_.begin(), pending_.end(), [&](const Pending& p) { return p.tag == tag; });
}

void FileJob::takeResult(const Pending& p, Outcome& out)
{
    if (bad_) {
        badRunResult(p, out);
        return;
    }
    if (p.result < 0) {
        failed(p, static_cast<int>(-p.result), out);
        return;
    }
    if (p.result > 0)
        anyData_ = true;
    readEnd_ = std::min(p.request.offset + p.result, end_);
    if (!mapping_)
        out.taken.push_back({p.tag, static_cast<std::size_t>(std::max<std::int64_t>(0, readEnd_ - p.request.offset))});
    if (retryEnd_ > 0 && readEnd_ >= retryEnd_) { // past the spot that failed: full speed again
        largest_ = normalLargest_;
        retryEnd_ = 0;
    }
    if (!mapping_)
        postUnitsUpTo(readEnd_, out);
    if (readEnd_ >= end_) {
        endOfFile(out);
    } else if (p.result == 0) { // the file ends here, before its listed size
        if (!mapping_)
            out.events.push_back({ReadEvent::Kind::Chunk, readEnd_ - posted_, 0, 0});
        endOfFile(out);
    } else if (p.result < static_cast<std::int64_t>(p.request.length)) {
        restartAt(readEnd_); // a short read is not the end yet: the next read tells
    }
}

void FileJob::failed(const Pending& p, int error, Outcome& out)
{
    if (error == EINVAL && fromMedium()) {
        // The filesystem took the open but not the direct read.
        if (!anyData_ && file_.file.stopDirectReads()) {
            restartAt(readEnd_);
            writingBack_ = true;
            out.writeBackFirst = true;
            return;
        }
        // An unaligned direct read after a short one: the file ended there.
        if (p.request.offset % static_cast<std::int64_t>(profile_.blockSize) != 0) {
            if (!mapping_)
                out.events.push_back({ReadEvent::Kind::Chunk, readEnd_ - posted_, 0, 0});
            endOfFile(out);
            return;
        }
    }
    // Go over the failed request again in smaller requests: first unit by unit, so that the
    // units before the bad spot count as read, then block by block inside the failing unit,
    // so that the failure is placed at most one block below the first bad byte. Each step
    // re-reads no more than the failed request.
    const auto block = static_cast<std::int64_t>(profile_.blockSize);
    const auto length = static_cast<std::int64_t>(p.request.length);
    if (length > block && p.request.offset % block == 0) {
        largest_ = static_cast<std::size_t>(length > kChunkSize ? kChunkSize : block);
        retryEnd_ = std::max(retryEnd_, p.request.offset + length);
        restartAt(p.request.offset);
        return;
    }
    if (!mapping_)
        out.events.push_back({ReadEvent::Kind::ReadFailed, 0, error, p.request.offset});
    failed_ = true;
    if (file_.map && !file_.quick) {
        mapping_ = true;
        beginBadRun(p.request.offset, out);
        return;
    }
    finish(out);
}

void FileJob::restartAt(std::int64_t offset)
{
    pending_.clear();
    nextOffset_ = offset;
}

// The units a result completed go in one Chunk event: only the file's last unit can be
// short, so every unit of the event but its last is whole.
void FileJob::postUnitsUpTo(std::int64_t limit, Outcome& out)
{
    ReadEvent* chunk = nullptr;
    while (posted_ < end_) {
        std::int64_t unit = std::min(kChunkSize, end_ - posted_);
        if (posted_ + unit > limit)
            break;
        if (chunk == nullptr) {
            out.events.push_back({ReadEvent::Kind::Chunk, unit, 0, 0});
            chunk = &out.events.back();
        } else {
            chunk->bytes += unit;
            ++chunk->units;
        }
        posted_ += unit;
    }
}

void FileJob::endOfFile(Outcome& out)
{
    if (mapping_)
        out.events.push_back({ReadEvent::Kind::MapDone, 0, 0, 0});
    finish(out);
}

void FileJob::finish(Outcome& out)
{
    finished_ = true;
    out.finished = true;
    pending_.clear();
}

} // namespace engine
