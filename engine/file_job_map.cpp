// Mapping the damage of a file past its first failed block, the way rescue tools do: over a
// run of failing blocks the step grows, so a large bad area costs few slow failing reads;
// from the first readable block after a skip, go back block by block to the run's edge.
// Every block is asked for at most once, and going back is bounded by the largest step.
#include "engine/file_job.h"

#include <algorithm>

namespace engine {

namespace {

constexpr std::int64_t kLargestStep = 1 << 20;

} // namespace

void FileJob::beginBadRun(std::int64_t offset, Outcome& out)
{
    std::int64_t end = offset / block() * block() + block(); // an unaligned start follows a short read
    bad_ = BadRun{offset, end, block(), end};
    restartAt(bad_->probe);
    if (bad_->knownEnd >= end_)
        endBadRun(end_, end_, out);
}

void FileJob::badRunResult(const Pending& p, Outcome& out)
{
    BadRun& b = *bad_;
    const bool failed = p.result < 0;
    if (b.goodAt < 0) {
        if (failed) {
            b.knownEnd = b.probe + block();
            b.step = std::min(b.step * 2, kLargestStep);
            skipForward(out);
        } else if (p.result == 0) { // the file ends here now
            endBadRun(b.knownEnd, end_, out);
        } else if (b.probe == b.knownEnd) {
            endBadRun(b.knownEnd, b.probe, out);
        } else {
            b.goodAt = b.probe;
            b.probe -= block();
        }
        return;
    }
    if (failed || p.result == 0) {
        endBadRun(b.probe + block(), b.goodAt, out); // the skipped blocks before it count as bad
    } else if (b.probe - block() < b.knownEnd) {
        endBadRun(b.knownEnd, b.probe, out);
    } else {
        b.probe -= block();
    }
}

void FileJob::skipForward(Outcome& out)
{
    BadRun& b = *bad_;
    if (b.knownEnd >= end_) {
        endBadRun(end_, end_, out);
        return;
    }
    std::int64_t lastBlock = (end_ - 1) / block() * block();
    b.probe = std::min(b.knownEnd + b.step - block(), lastBlock);
}

// The run [start, end) could not be read; normal reading goes on at resumeAt.
void FileJob::endBadRun(std::int64_t end, std::int64_t resumeAt, Outcome& out)
{
    std::int64_t start = bad_->start;
    bad_.reset();
    out.events.push_back({ReadEvent::Kind::BadRange, std::min(end, end_) - start, 0, start});
    if (resumeAt >= end_) {
        endOfFile(out);
        return;
    }
    largest_ = normalLargest_;
    retryEnd_ = 0;
    readEnd_ = resumeAt;
    restartAt(resumeAt);
}

} // namespace engine
