// Which pieces of the damaged ranges the files claim, and what is left for the classifier.
#include "engine/damage_map.h"
#include "engine/surface_result.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using engine::ByteRange;
using engine::DamageHit;
using engine::DamageMap;

namespace {

std::vector<std::string> describe(const std::vector<DamageHit>& hits)
{
    std::vector<std::string> out;
    for (const auto& h : hits)
        out.push_back(std::to_string(h.start) + "-" + std::to_string(h.end) + " " +
                      (h.path.empty() ? h.area : h.path + "@" + std::to_string(h.fileOffset)));
    return out;
}

TEST(DamageMap, filesClaimTheirPiecesAndTheRestGoesToTheClassifier)
{
    // Two bad areas and a slow read that overlaps the second (they merge).
    DamageMap map({{1000, 2000}, {5000, 6000}, {5500, 7000}});
    ASSERT_EQ(map.ranges(), (std::vector<ByteRange>{{1000, 2000}, {5000, 7000}}));
    map.addExtent("/a", 0, 500, 1000);     // [500, 1500): the front of the first area
    map.addExtent("/b", 4096, 1800, 4000); // [1800, 5800): the tail of one, the front of the other
    map.addExtent("/c", 0, 8000, 100);     // nowhere near
    map.addExtent("/d", 0, 6000, 500);     // [6000, 6500): inside the second
    map.addExtent("/e", 0, 6200, 100);     // shares blocks with /d (a reflink)
    auto hits = map.hits([](const ByteRange& r) {
        // A classifier that splits at 6800: the filesystem's own data beyond it.
        std::vector<std::pair<ByteRange, std::string>> out;
        if (r.first < 6800 && r.second > 6800) {
            out.push_back({{r.first, 6800}, "free"});
            out.push_back({{6800, r.second}, "metadata"});
        } else {
            out.push_back({r, r.first >= 6800 ? "metadata" : "free"});
        }
        return out;
    });
    EXPECT_THAT(describe(hits),
                ::testing::ElementsAre("1000-1500 /a@500", "1500-1800 free", "1800-2000 /b@4096", "5000-5800 /b@7296",
                                       "5800-6000 free", "6000-6500 /d@0", "6200-6300 /e@0", "6500-6800 free",
                                       "6800-7000 metadata"));
}

TEST(DamageMap, beyondTheBoundHitsAreCountedNotKeptAndTheirPiecesStayClaimed)
{
    DamageMap map({{0, 1 << 30}});
    for (std::size_t i = 0; i < engine::kDamageHitsKept + 10; ++i)
        map.addExtent("/f", 0, static_cast<std::int64_t>(i) * 4096, 4096);
    auto hits = map.hits(engine::unknownAreas());
    EXPECT_EQ(map.hitsDropped(), 10u);
    ASSERT_EQ(hits.size(), engine::kDamageHitsKept + 1);
    EXPECT_EQ(hits.back().start, static_cast<std::int64_t>(engine::kDamageHitsKept + 10) * 4096);
    EXPECT_EQ(hits.back().area, "unknown");
}

TEST(SurfaceSummary, namesAreShownSafelyOncePerFile)
{
    engine::SurfaceResult r;
    r.device = "/dev/x";
    r.size = 8192;
    r.map = engine::SurfaceMap(8192);
    r.map.set(0, 8192, engine::BlockState::Finished);
    r.map.set(512, 1024, engine::BlockState::Bad);
    r.hits = {{512, 700, "/m/evil\x1b[2Jname\nline", 0, {}}, {700, 1024, "/m/evil\x1b[2Jname\nline", 188, {}}};
    auto lines = engine::surfaceSummary(r);
    EXPECT_THAT(lines, ::testing::Contains("/m/evil?[2Jname?line"));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "/m/evil?[2Jname?line"), 1);
    EXPECT_THAT(lines, ::testing::Contains("Počet vadných oblastí: 1"));
    std::string doc = engine::surfaceJson(r);
    EXPECT_THAT(doc, ::testing::HasSubstr("\"bad\": [[512, 1024]]"));
    EXPECT_THAT(doc, ::testing::HasSubstr("\"path\": \"/m/evil\\u001b[2Jname\\u000aline\", \"file_offset\": 188"));
}

} // namespace
