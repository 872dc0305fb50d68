// The order logic of one file's requests, fed with results by hand: what the kernel may do
// but a real run rarely shows on demand (results out of order, short reads mid-file, a
// filesystem that takes the open but refuses the direct read).
#include "engine/file_job.h"

#include "read_recorder.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using engine::FileJob;
using engine::FileToRead;
using reads_testing::describe;
using testing_support::TempDir;

namespace {

class FileJobTest : public ::testing::Test {
protected:
    FileJob make(std::int64_t listedSize, bool quick = false, bool map = false, std::size_t blockSize = 4096)
    {
        testing_support::writeFileOfSize(dir_ / "f", 16);
        FileToRead f;
        f.job = 1;
        f.listedSize = listedSize;
        f.quick = quick;
        f.map = map;
        f.file.open(dir_ / "f", platform::ReadPattern::WholeFile);
        platform::ReadProfile p;
        p.requestSize = 256 * 1024;
        p.fileDepth = 3;
        p.blockSize = blockSize;
        return FileJob(std::move(f), p);
    }
    // Sends every request the job has now; returns their tags.
    std::vector<std::uint64_t> sendAll(FileJob& job)
    {
        std::vector<std::uint64_t> tags;
        while (auto r = job.next()) {
            job.sent(nextTag_, *r);
            requests_[nextTag_] = *r;
            tags.push_back(nextTag_++);
        }
        return tags;
    }
    std::string answer(FileJob& job, std::uint64_t tag, std::int64_t result, bool* finished = nullptr)
    {
        FileJob::Outcome out = job.done(tag, result);
        if (finished != nullptr)
            *finished = out.finished;
        return describe(out.events);
    }
    std::int64_t full(std::uint64_t tag) { return static_cast<std::int64_t>(requests_[tag].length); }

    TempDir dir_;
    std::map<std::uint64_t, FileJob::Request> requests_;
    std::uint64_t nextTag_ = 1;
};

TEST_F(FileJobTest, results_that_come_out_of_order_are_posted_in_file_order)
{
    FileJob job = make(600000);
    std::vector<std::uint64_t> tags = sendAll(job);
    ASSERT_EQ(tags.size(), 3U); // 256 KiB, 256 KiB and the rest rounded up to a block
    EXPECT_EQ(requests_[tags[2]].offset, 524288);
    EXPECT_EQ(requests_[tags[2]].length, 77824U);
    bool finished = false;
    EXPECT_EQ(answer(job, tags[2], 75712), "");
    EXPECT_EQ(answer(job, tags[1], full(tags[1])), "");
    EXPECT_EQ(answer(job, tags[0], full(tags[0]), &finished),
              "65536 65536 65536 65536 65536 65536 65536 65536 "
              "65536 10176");
    EXPECT_TRUE(finished);
}

// One event per result, not per unit: the engine takes the units one by one from it.
TEST_F(FileJobTest, the_units_one_result_completes_are_told_in_one_event)
{
    FileJob job = make(600000);
    std::vector<std::uint64_t> tags = sendAll(job);
    ASSERT_EQ(tags.size(), 3U);
    EXPECT_TRUE(job.done(tags[2], 75712).events.empty());
    FileJob::Outcome second = job.done(tags[0], full(tags[0]));
    ASSERT_EQ(second.events.size(), 1U);
    EXPECT_EQ(second.events[0].units, 4);
    EXPECT_EQ(second.events[0].bytes, 4 * 65536);
    FileJob::Outcome last = job.done(tags[1], full(tags[1]));
    ASSERT_EQ(last.events.size(), 2U) << "the two results now in order, one event each";
    EXPECT_EQ(last.events[0].units, 4);
    EXPECT_EQ(last.events[0].bytes, 4 * 65536);
    EXPECT_EQ(last.events[1].units, 2);
    EXPECT_EQ(last.events[1].bytes, 600000 - 8 * 65536);
    EXPECT_TRUE(last.finished);
}

// Its two bytes ask for a page even where a block is a sector: the first pages of files that
// lie side by side then merge into larger requests of the device, single sectors do not.
TEST_F(FileJobTest, the_quick_test_reads_a_page_and_takes_its_first_two_bytes)
{
    FileJob job = make(16, true, false, 512);
    std::vector<std::uint64_t> tags = sendAll(job);
    ASSERT_EQ(tags.size(), 1U);
    EXPECT_EQ(requests_[tags[0]].offset, 0);
    EXPECT_EQ(requests_[tags[0]].length, 4096U);
    bool finished = false;
    EXPECT_EQ(answer(job, tags[0], 16, &finished), "2");
    EXPECT_TRUE(finished);

    FileJob one = make(1, true, false, 512); // one byte: the page brings it, then the end
    tags = sendAll(one);
    ASSERT_EQ(tags.size(), 1U);
    EXPECT_EQ(answer(one, tags[0], 1, &finished), "");
    EXPECT_FALSE(finished);
    tags = sendAll(one);
    ASSERT_EQ(tags.size(), 1U);
    EXPECT_EQ(requests_[tags[0]].offset, 1);
    EXPECT_EQ(answer(one, tags[0], 0, &finished), "1");
    EXPECT_TRUE(finished);
}

TEST_F(FileJobTest, a_short_read_mid_file_is_followed_up_where_it_stopped)
{
    FileJob job = make(300000);
    std::vector<std::uint64_t> tags = sendAll(job);
    ASSERT_EQ(tags.size(), 2U);
    EXPECT_EQ(answer(job, tags[0], 100000), "65536");
    EXPECT_EQ(answer(job, tags[1], full(tags[1])), ""); // asked for before the gap: void
    std::vector<std::uint64_t> again = sendAll(job);
    ASSERT_FALSE(again.empty());
    EXPECT_EQ(requests_[again[0]].offset, 100000);
    bool finished = false;
    EXPECT_EQ(answer(job, again[0], 0, &finished), "34464"); // the end: what the unit got
    EXPECT_TRUE(finished);
}

TEST_F(FileJobTest, a_failed_request_is_narrowed_down_unit_by_unit_then_block_by_block)
{
    FileJob job = make(300000);
    std::vector<std::uint64_t> tags = sendAll(job);
    EXPECT_EQ(answer(job, tags[0], -EIO), "");
    std::vector<std::uint64_t> units = sendAll(job);
    ASSERT_EQ(units.size(), 3U);
    for (std::uint64_t tag : units)
        EXPECT_EQ(requests_[tag].length, 65536U);
    EXPECT_EQ(answer(job, units[0], 65536), "65536");
    EXPECT_EQ(answer(job, units[1], -EIO), "");
    // Each block alone: sent together, the device may merge them and fail a good one with
    // the bad one.
    EXPECT_TRUE(job.needsDeviceAlone());
    std::vector<std::uint64_t> blocks = sendAll(job);
    ASSERT_EQ(blocks.size(), 1U);
    EXPECT_EQ(requests_[blocks[0]].offset, 65536);
    EXPECT_EQ(requests_[blocks[0]].length, 4096U);
    EXPECT_EQ(answer(job, blocks[0], 4096), ""); // a unit counts only when read whole
    blocks = sendAll(job);
    ASSERT_EQ(blocks.size(), 1U);
    EXPECT_EQ(requests_[blocks[0]].offset, 69632);
    bool finished = false;
    EXPECT_EQ(answer(job, blocks[0], -EIO, &finished), "fail 5@69632");
    EXPECT_TRUE(finished);
    EXPECT_FALSE(job.needsDeviceAlone());
}

TEST_F(FileJobTest, after_a_failure_that_does_not_repeat_requests_grow_again)
{
    FileJob job = make(1 << 20);
    std::vector<std::uint64_t> tags = sendAll(job);
    EXPECT_EQ(answer(job, tags[0], -EIO), "");
    // The failed 256 KiB go again in units that now all read; after them, full size.
    std::optional<FileJob::Request> large;
    for (int round = 0; round < 8 && !large; ++round) {
        for (std::uint64_t tag : sendAll(job)) {
            if (requests_[tag].length > 65536U && !large)
                large = requests_[tag];
            answer(job, tag, full(tag));
        }
    }
    ASSERT_TRUE(large.has_value());
    EXPECT_GE(large->offset, 262144); // units sent before the last one came back go on
    EXPECT_EQ(large->length, 262144U);
}

// A medium whose bad blocks are given: every request that touches one fails whole.
std::string mapOf(FileJob& job, const std::set<std::int64_t>& badBlocks, std::int64_t size, int* requests)
{
    std::string events;
    *requests = 0;
    for (std::uint64_t tag = 1; *requests < 10000; ++tag) {
        auto r = job.next();
        if (!r)
            return events + " (stuck)";
        job.sent(tag, *r);
        ++*requests;
        std::int64_t end = r->offset + static_cast<std::int64_t>(r->length);
        bool bad = std::any_of(badBlocks.begin(), badBlocks.end(),
                               [&](std::int64_t b) { return b * 4096 < end && b * 4096 + 4096 > r->offset; });
        std::int64_t result = bad ? -EIO : std::max<std::int64_t>(0, std::min(end, size) - r->offset);
        FileJob::Outcome out = job.done(tag, result);
        for (const engine::ReadEvent& e : out.events) {
            if (e.kind == engine::ReadEvent::Kind::Chunk)
                job.consumed(e.units);
            else
                events += (events.empty() ? "" : " ") + describe({e});
        }
        if (out.finished)
            return events;
    }
    return events + " (endless)";
}

TEST_F(FileJobTest, mapping_reads_past_bad_runs_to_the_end_and_finds_their_edges)
{
    // Blocks 100-102 and 150-399 are bad in a file of 1000 blocks and a bit.
    std::set<std::int64_t> bad{100, 101, 102};
    for (std::int64_t b = 150; b < 400; ++b)
        bad.insert(b);
    const std::int64_t size = 1000 * 4096 + 10;
    FileJob job = make(size, false, true);
    int requests = 0;
    EXPECT_EQ(mapOf(job, bad, size, &requests), "fail 5@409600 bad 409600+12288 bad 614400+1024000 mapped");
    // The long run is skipped over with a growing step: far fewer requests than its blocks.
    EXPECT_LT(requests, 150);

    FileJob tail = make(size, false, true);
    EXPECT_EQ(mapOf(tail, {999, 1000}, size, &requests), "fail 5@4091904 bad 4091904+4106 mapped");
}

TEST_F(FileJobTest, a_refused_direct_read_starts_over_through_the_cache)
{
    FileJob job = make(70000);
    bool direct = job.fromMedium();
    std::vector<std::uint64_t> tags = sendAll(job);
    EXPECT_EQ(answer(job, tags[0], -EINVAL), "");
    if (direct) {
        EXPECT_FALSE(job.fromMedium());
        // Nothing goes out until the file's cached pages were written back and dropped,
        // which the reader does on a thread of its own.
        EXPECT_TRUE(sendAll(job).empty());
        job.writeBackAndDropCache();
        job.writtenBack();
        std::vector<std::uint64_t> again = sendAll(job);
        ASSERT_FALSE(again.empty());
        EXPECT_EQ(requests_[again[0]].offset, 0);
        EXPECT_EQ(answer(job, again[0], 70000), "65536 4464");
    }
}

TEST_F(FileJobTest, does_not_run_further_ahead_than_the_engine_allows)
{
    FileJob job = make(64 << 20);
    std::int64_t sent = 0;
    for (int round = 0; round < 100; ++round) {
        for (std::uint64_t tag : sendAll(job)) {
            answer(job, tag, full(tag));
            sent += full(tag);
        }
    }
    EXPECT_LE(sent, 3 * 256 * 1024 + (2 << 20)); // nothing consumed: depth and a margin
    for (int i = 0; i < 16; ++i)
        job.consumed();
    EXPECT_TRUE(job.next().has_value());
}

} // namespace
