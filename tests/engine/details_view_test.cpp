#include "engine/details_view.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using engine::Axis;
using engine::niceAxis;

TEST(DetailsView, an_axis_ends_on_a_round_tick_at_or_above_the_largest_value_in_few_steps)
{
    struct Case {
        double largest;
        double top, step;
    } cases[] = {
        {7, 8, 2},          // seven seconds
        {10, 10, 2},        // a largest value on a tick gets no step above it
        {11, 12, 2},        //
        {95, 100, 20},      //
        {3601, 4000, 1000}, // an hour
        {0.37, 0.4, 0.1},   // a slow medium in MB/s
        {0.0012, 0.0012, 0.0002},
        {0, 1, 0.2}, // nothing measured: an empty scale to draw
        {-5, 1, 0.2},
    };
    for (const Case& c : cases) {
        Axis a = niceAxis(c.largest);
        EXPECT_NEAR(a.top, c.top, c.top * 1e-9) << c.largest;
        EXPECT_NEAR(a.step, c.step, c.step * 1e-9) << c.largest;
        EXPECT_LE(a.top / a.step, 6.0 + 1e-9) << c.largest;
    }
}

TEST(DetailsView, numbers_take_a_decimal_comma_and_ticks_as_many_decimals_as_their_step)
{
    EXPECT_EQ(engine::decimalText(2.014, 2), "2,01");
    EXPECT_EQ(engine::decimalText(12, 0), "12");
    EXPECT_EQ(engine::decimalText(-0.001, 1), "0,0");
    EXPECT_EQ(engine::tickText(40, Axis{100, 20}), "40");
    EXPECT_EQ(engine::tickText(0.3, Axis{0.4, 0.1}), "0,3");
    EXPECT_EQ(engine::tickText(0.001, Axis{0.0015, 0.0005}), "0,0010");
}

TEST(DetailsView, the_curve_is_in_megabytes_per_second_and_a_slow_read_spans_the_time_it_took)
{
    engine::Findings f;
    f.speed.add(1, 3 * 1048576.0);
    f.speed.add(2, 0);
    f.slow.push_back({"/m/a", 65536, 2.5, 4});
    f.slow.push_back({"/m/b", 0, 9, 3}); // longer than the read phase had lasted
    engine::CurveView c = engine::curveView(f);
    ASSERT_EQ(c.points.size(), 2U);
    EXPECT_DOUBLE_EQ(c.points[0].megabytesPerSecond, 3);
    EXPECT_DOUBLE_EQ(c.points[1].seconds, 2);
    ASSERT_EQ(c.slow.size(), 2U);
    EXPECT_DOUBLE_EQ(c.slow[0].from, 1.5);
    EXPECT_DOUBLE_EQ(c.slow[0].to, 4);
    EXPECT_DOUBLE_EQ(c.slow[1].from, 0);
    // The time axis reaches the last slow read, beyond the last sample.
    EXPECT_GE(c.time.top, 4);
    EXPECT_GE(c.speed.top, 3);
}

TEST(DetailsView, every_kind_of_finding_has_its_own_words)
{
    using K = engine::Finding::Kind;
    std::set<std::string> words;
    for (K k : {K::Open, K::Read, K::Short, K::Grown, K::Directory})
        words.insert(engine::kindText(k));
    EXPECT_EQ(words.size(), 5U);
}

} // namespace
