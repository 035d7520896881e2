#include "settings/Random.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

namespace keyfall {
namespace {

TEST(RandomBetween, CoversTheWholeRangeAndNothingElse)
{
    Random random(42);
    std::set<int> seen;
    for (int i = 0; i < 5000; ++i) {
        const int v = random.RandomBetween(0, 17);
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 17);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 18u);
}

TEST(RandomBetween, EqualBoundsAndBoundsOneApartGiveLo)
{
    Random random(7);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(random.RandomBetween(5, 5), 5);
        EXPECT_EQ(random.RandomBetween(5, 4), 5);
    }
}

TEST(RandomBetween, ReversedBoundsApplyTheFormulaUnchanged)
{
    Random random(3);
    // n = 3 - 5 + 1 = -1, so x = 5 - r lies in (4, 5]: 4, and 5 only for r = 0.
    std::set<int> seen;
    for (int i = 0; i < 1000; ++i)
        seen.insert(random.RandomBetween(5, 3));
    EXPECT_EQ(seen, (std::set<int>{4}));
    std::set<int> wide;
    for (int i = 0; i < 1000; ++i)
        wide.insert(random.RandomBetween(10, 3));
    EXPECT_EQ(wide, (std::set<int>{4, 5, 6, 7, 8, 9}));
}

TEST(RandomBetween, SpansBeyondSixteenBitsOverflow)
{
    Random random(1);
    EXPECT_THROW(random.RandomBetween(-32768, 32767), std::overflow_error);
    EXPECT_THROW(random.RandomBetween(0, 32767), std::overflow_error); // hi - lo + 1 = 32768
    EXPECT_THROW(random.RandomBetween(32767, -32768), std::overflow_error);
    const int v = random.RandomBetween(0, 32766);
    EXPECT_GE(v, 0);
    EXPECT_LE(v, 32766);
}

TEST(RandomBetween, ExtremeBoundsStayInRange)
{
    Random random(11);
    for (int i = 0; i < 2000; ++i) {
        const int low = random.RandomBetween(-32768, -2);
        ASSERT_GE(low, -32768);
        ASSERT_LE(low, -2);
    }
}

TEST(RandomBetween, ASeedRepeatsItsSequence)
{
    Random a(99);
    Random b(99);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(a.RandomBetween(0, 1000), b.RandomBetween(0, 1000));
}

TEST(RandomBetween, DrawsWithinOneClockReadingDiffer)
{
    // The clock does not move between these draws, as within one wave's launch.
    Random random(5, [] { return std::uint64_t{123456789}; });
    std::set<int> seen;
    for (int i = 0; i < 50; ++i)
        seen.insert(random.RandomBetween(65, 90));
    EXPECT_GT(seen.size(), 10u);
}

TEST(RandomBetween, TheClockIsMixedIn)
{
    std::uint64_t now = 0;
    Random withClock(5, [&now] { return now; });
    Random other(5, [] { return std::uint64_t{777}; });
    int differences = 0;
    for (int i = 0; i < 50; ++i) {
        now += 1000;
        differences += withClock.RandomBetween(0, 30000) != other.RandomBetween(0, 30000) ? 1 : 0;
    }
    EXPECT_GT(differences, 40);
}

} // namespace
} // namespace keyfall
