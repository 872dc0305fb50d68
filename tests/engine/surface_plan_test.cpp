// The scan's plan against a simulated medium: which blocks fail is known, so the map it
// ends with can be held against the truth, and every read it asked for can be counted.
#include "engine/mapfile.h"
#include "engine/surface_plan.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <set>
#include <vector>

using engine::BlockState;
using engine::SurfaceMap;
using engine::SurfacePlan;
using engine::SurfaceRequest;
using Areas = std::vector<std::pair<std::int64_t, std::int64_t>>;

namespace {

constexpr std::int64_t kBlock = 512;
constexpr std::int64_t kMiB = 1 << 20;

// A medium whose listed [start, end) ranges fail: a request touching one fails whole.
struct Medium {
    Medium(std::int64_t size_, Areas bad_ = {}) : size(size_), bad(std::move(bad_)) {}
    std::int64_t size;
    Areas bad;
    std::int64_t shortAt = -1; // a request covering this offset returns only what lies before it, once
    std::map<std::int64_t, int> readsOfBlock;

    std::int64_t read(const SurfaceRequest& r)
    {
        for (std::int64_t b = r.pos; b < r.end(); b += kBlock)
            ++readsOfBlock[b];
        for (const auto& [s, e] : bad) {
            if (r.pos < e && r.end() > s)
                return -EIO;
        }
        if (shortAt > r.pos && shortAt < r.end()) {
            std::int64_t got = shortAt - r.pos;
            shortAt = -1;
            return got;
        }
        return r.length;
    }
};

// Runs the plan to its end with up to depth requests in flight, answering them in a
// shuffled order (the last one first) as a queue may.
SurfaceMap scan(Medium& medium, SurfaceMap start, engine::SurfacePlanSettings settings = {})
{
    SurfacePlan plan(std::move(start), kBlock, settings);
    std::vector<SurfaceRequest> inFlight;
    for (int guard = 0; guard < 10'000'000 && !plan.finished(); ++guard) {
        while (auto r = plan.next())
            inFlight.push_back(*r);
        EXPECT_LE(static_cast<int>(inFlight.size()), settings.depth);
        if (inFlight.empty())
            break;
        SurfaceRequest r = inFlight.back();
        inFlight.pop_back();
        plan.done(r, medium.read(r));
    }
    EXPECT_TRUE(plan.finished());
    return plan.map();
}

TEST(SurfacePlan, aMediumWithoutFaultsIsReadOnceInLargeRequests)
{
    Medium m{64 * kMiB, {}};
    SurfaceMap map = scan(m, SurfaceMap(m.size));
    EXPECT_EQ(map.bytesIn(BlockState::Finished), m.size);
    EXPECT_EQ(map.blocks().size(), 1u);
    for (const auto& [block, count] : m.readsOfBlock)
        ASSERT_EQ(count, 1) << block;
}

TEST(SurfacePlan, badAreasEndExactToTheBlockWhereverTheyLie)
{
    // At the very start, spots in neighbouring requests (which must stay apart), one lone
    // block, a run inside a request, a run across requests and skips, and one up to the last
    // byte.
    Areas bad{{0, 3 * kBlock},
              {kMiB + kBlock, kMiB + 2 * kBlock},
              {3 * kMiB - 2 * kBlock, 3 * kMiB + kBlock},
              {5 * kMiB + 7 * kBlock, 5 * kMiB + 8 * kBlock},
              {9 * kMiB + 100 * kBlock, 9 * kMiB + 300 * kBlock},
              {20 * kMiB - 5 * kBlock, 27 * kMiB + 11 * kBlock},
              {40 * kMiB - kBlock, 40 * kMiB}};
    Medium m{40 * kMiB, bad};
    SurfaceMap map = scan(m, SurfaceMap(m.size));
    EXPECT_EQ(map.unfinishedAreas(), bad);
    // The edges were each read alone and failed; what lies between them was not read block by block.
    EXPECT_EQ(map.stateAt(20 * kMiB - 5 * kBlock), BlockState::Bad);
    EXPECT_EQ(map.stateAt(27 * kMiB + 10 * kBlock), BlockState::Bad);
    EXPECT_GT(map.bytesIn(BlockState::NonScraped), 6 * kMiB);
    EXPECT_EQ(map.bytesIn(BlockState::NonTried) + map.bytesIn(BlockState::NonTrimmed), 0);
}

TEST(SurfacePlan, aLargeBadAreaCostsFewFailingReads)
{
    Medium m{256 * kMiB, {{10 * kMiB, 200 * kMiB}}};
    SurfaceMap map = scan(m, SurfaceMap(m.size));
    EXPECT_EQ(map.unfinishedAreas(), (Areas{{10 * kMiB, 200 * kMiB}}));
    std::int64_t readInside = 0;
    for (const auto& [block, count] : m.readsOfBlock) {
        if (block >= 10 * kMiB && block < 200 * kMiB)
            readInside += count;
    }
    // Skips that grow to 16 MiB: the failing requests and edge probes cover a few percent.
    EXPECT_LT(readInside * kBlock, 24 * kMiB);
}

TEST(SurfacePlan, theRestOfAShortReadIsAskedForAgain)
{
    Medium m{8 * kMiB, {}};
    m.shortAt = 3 * kMiB + 5 * kBlock;
    SurfaceMap map = scan(m, SurfaceMap(m.size));
    EXPECT_EQ(map.bytesIn(BlockState::Finished), m.size);
}

TEST(SurfacePlan, aResumedScanReadsOnlyWhatIsNotFinishedAndTriesBadAreasAgain)
{
    Medium first{16 * kMiB, {{2 * kMiB, 2 * kMiB + 4 * kBlock}}};
    SurfaceMap before = scan(first, SurfaceMap(first.size));
    // Half of the device is made untried again, as a scan stopped there leaves it.
    before.set(8 * kMiB, 16 * kMiB, BlockState::NonTried);

    // Until the scan gets there, the map keeps what the earlier one found.
    EXPECT_EQ(SurfacePlan(before, kBlock).map().stateAt(2 * kMiB), BlockState::Bad);
    Medium second{16 * kMiB, {}}; // the bad area reads now
    SurfaceMap after = scan(second, before);
    EXPECT_EQ(after.bytesIn(BlockState::Finished), second.size);
    for (const auto& [block, count] : second.readsOfBlock) {
        bool wasBad = block >= 2 * kMiB && block < 2 * kMiB + 4 * kBlock;
        ASSERT_TRUE(wasBad || block >= 8 * kMiB) << "read again: " << block;
        ASSERT_EQ(count, 1) << block;
    }
}

TEST(SurfacePlan, anOpticalProfileKeepsTwoRequestsInFlight)
{
    Medium m{8 * kMiB, {{kMiB, kMiB + kBlock}}};
    engine::SurfacePlanSettings shallow;
    shallow.depth = 2;
    SurfaceMap map = scan(m, SurfaceMap(m.size), shallow); // the depth is checked on every round
    EXPECT_EQ(map.unfinishedAreas(), (Areas{{kMiB, kMiB + kBlock}}));
}

TEST(SurfaceMap, neighboursOfOneStateMergeAndChangeTouchesOnlyItsState)
{
    SurfaceMap map(100);
    map.set(10, 20, BlockState::Finished);
    map.set(20, 30, BlockState::Finished);
    map.set(50, 60, BlockState::Bad);
    ASSERT_EQ(map.blocks().size(), 5u);
    EXPECT_EQ(map.blocks()[1].pos, 10);
    EXPECT_EQ(map.blocks()[1].size, 20);
    map.change(0, 100, BlockState::NonTried, BlockState::NonTrimmed);
    EXPECT_EQ(map.stateAt(15), BlockState::Finished);
    EXPECT_EQ(map.stateAt(55), BlockState::Bad);
    EXPECT_EQ(map.bytesIn(BlockState::NonTrimmed), 70);
    map.set(0, 100, BlockState::Finished);
    EXPECT_EQ(map.blocks().size(), 1u);
}

TEST(Mapfile, whatIsWrittenReadsBackAsTheSameMap)
{
    SurfaceMap map(0x1000000);
    map.set(0x200000, 0x200400, BlockState::Bad);
    map.set(0x200400, 0x300000, BlockState::NonScraped);
    map.set(0, 0x200000, BlockState::Finished);
    std::string text = engine::formatMapfile(map, {0x200000, '*', 1}, {"vorkan-cli --device /dev/x", "a", "b"});
    EXPECT_NE(text.find("\n0x00200000  0x00000400  -\n"), std::string::npos) << text;
    std::string why;
    auto parsed = engine::parseMapfile(text, why);
    ASSERT_TRUE(parsed) << why;
    EXPECT_EQ(parsed->map.blocks().size(), map.blocks().size());
    EXPECT_EQ(parsed->map.unfinishedAreas(), map.unfinishedAreas());
    EXPECT_EQ(parsed->status.currentStatus, '*');
    EXPECT_EQ(parsed->status.currentPos, 0x200000);
}

TEST(Mapfile, whatIsNoMapfileIsRefused)
{
    const char* const broken[] = {
        "",                                      // nothing
        "# only a comment\n",                    // no status line
        "0x0 ? 1\n",                             // no blocks
        "0x0 ? 1\n0x0 0x100 +\n0x200 0x100 +\n", // a gap
        "0x0 ? 1\n0x0 0x200 +\n0x100 0x100 -\n", // an overlap
        "0x0 ? 1\n0x100 0x100 +\n",              // not from 0
        "0x0 ? 1\n0x0 0x100 x\n",                // an unknown state
        "0x0 ? 1\n0x0 -0x100 +\n",               // a negative size
        "0x0 ? 1\n0x0 0x100 + extra\n",          // more words
        "PK\x03\x04 binary\n",                   // some other file
        "0x0 ? 1\n0x0 0xFFFFFFFFFFFFFFFFFF +\n", // beyond 64 bits
    };
    for (const char* text : broken) {
        std::string why;
        EXPECT_FALSE(engine::parseMapfile(text, why)) << text;
        EXPECT_FALSE(why.empty()) << text;
    }
    // The older form without a pass and decimal numbers are ddrescue's too.
    std::string why;
    auto old = engine::parseMapfile("# c\n  0 +\n0 512 +\n512 0x200 -\n", why);
    ASSERT_TRUE(old) << why;
    EXPECT_EQ(old->map.size(), 1024);
}

} // namespace
