#include "engine/findings.h"
#include "engine/findings_json.h"

#include <gtest/gtest.h>

using engine::SpeedCurve;

namespace {

TEST(SpeedCurve, keeps_one_sample_per_tick_until_it_is_full)
{
    SpeedCurve curve(8);
    for (int t = 1; t <= 7; ++t)
        curve.add(t, t * 100.0);
    ASSERT_EQ(curve.samples().size(), 7U);
    EXPECT_EQ(curve.samples()[6].seconds, 7);
    EXPECT_EQ(curve.samples()[6].bytesPerSecond, 700);
}

TEST(SpeedCurve, a_full_curve_merges_neighbours_and_stays_bounded_over_a_long_run)
{
    SpeedCurve curve(8);
    for (int t = 1; t <= 8; ++t)
        curve.add(t, t % 2 == 1 ? 100.0 : 300.0);
    ASSERT_EQ(curve.samples().size(), 4U);
    EXPECT_EQ(curve.samples()[0].seconds, 1);
    EXPECT_EQ(curve.samples()[1].seconds, 3);
    EXPECT_EQ(curve.samples()[1].bytesPerSecond, 200); // the mean of both
    // From now on each new sample stands for two ticks as well.
    curve.add(9, 1000);
    EXPECT_EQ(curve.samples().size(), 4U);
    curve.add(10, 2000);
    ASSERT_EQ(curve.samples().size(), 5U);
    EXPECT_EQ(curve.samples()[4].seconds, 9);
    EXPECT_EQ(curve.samples()[4].bytesPerSecond, 1500);

    for (int t = 11; t <= 100000; ++t)
        curve.add(t, 1);
    EXPECT_LT(curve.samples().size(), 8U);
    EXPECT_EQ(curve.samples()[0].seconds, 1);
    for (std::size_t i = 1; i < curve.samples().size(); ++i)
        EXPECT_LT(curve.samples()[i - 1].seconds, curve.samples()[i].seconds);
}

} // namespace

namespace {

TEST(FindingsJson, strings_are_escaped_and_bytes_that_break_utf8_become_replacement_characters)
{
    EXPECT_EQ(engine::jsonString("a\"b\\c\n\x01ž"), "\"a\\\"b\\\\c\\u000a\\u0001ž\"");
    EXPECT_EQ(engine::jsonString("x\xff"
                                 "y\xc3"),
              "\"x\\ufffdy\\ufffd\"");
}

TEST(FindingsJson, base64_keeps_every_byte)
{
    EXPECT_EQ(engine::base64(""), "");
    EXPECT_EQ(engine::base64("f"), "Zg==");
    EXPECT_EQ(engine::base64("fo"), "Zm8=");
    EXPECT_EQ(engine::base64("foo"), "Zm9v");
    EXPECT_EQ(engine::base64("/a/\xff\xfe"), "L2Ev//4=");
}

} // namespace

namespace {

TEST(Finding, adjoining_ranges_join_and_a_long_list_stays_bounded_with_an_exact_total)
{
    engine::Finding f;
    f.addRange(0, 4096);
    f.addRange(4096, 8192);
    f.addRange(16384, 20480);
    ASSERT_EQ(f.ranges.size(), 2U);
    EXPECT_EQ(f.ranges[0], std::make_pair(std::int64_t{0}, std::int64_t{8192}));
    EXPECT_EQ(f.unreadableBytes, 12288);
    for (std::int64_t i = 0; i < 5000; ++i)
        f.addRange(100000 + i * 8192, 100000 + i * 8192 + 4096);
    EXPECT_EQ(f.ranges.size(), engine::kRangesKept);
    EXPECT_EQ(f.ranges.back().second, 100000 + 4999 * 8192 + 4096);
    EXPECT_EQ(f.unreadableBytes, 12288 + 5000 * 4096);
}

} // namespace
