// Which keys the statistics call weak.

#include "records/KeyStats.h"

#include <gtest/gtest.h>

namespace keyfall::records {
namespace {

KeyCounts Counts(int hits, int landed, int wrong, std::int64_t reactionMs = 0)
{
    return {hits + landed, hits, landed, wrong, 0, reactionMs};
}

std::vector<std::string> Names(const std::vector<KeyStat>& keys)
{
    std::vector<std::string> names;
    names.reserve(keys.size());
    for (const auto& k : keys)
        names.push_back(k.key);
    return names;
}

TEST(KeyStats, UpperAndLowerCaseMeetOnOneKeyAndStrayCharactersOnNone)
{
    const auto keys = ByKey({{"a", Counts(3, 1, 0, 1500)},
                             {"A", Counts(1, 0, 1, 700)},
                             {"7", Counts(2, 0, 0, 800)},
                             {"#", Counts(0, 0, 4)},
                             {"è", Counts(0, 0, 1)}});
    ASSERT_EQ(keys.size(), 2u);
    const KeyStat& a = keys.at("A");
    EXPECT_EQ(a.counts.hits, 4);
    EXPECT_EQ(a.counts.landed, 1);
    EXPECT_EQ(a.counts.wrong, 1);
    EXPECT_DOUBLE_EQ(a.accuracy, 4.0 / 6.0);
    EXPECT_DOUBLE_EQ(a.reactionMs, 2200.0 / 4.0);
    EXPECT_DOUBLE_EQ(keys.at("7").accuracy, 1.0);
}

TEST(KeyStats, TheWeakestAreBelowThePlayersOwnMeanWeakestFirst)
{
    const auto keys = ByKey({{"A", Counts(20, 0, 0, 4000)},
                             {"B", Counts(10, 10, 0, 2000)},
                             {"D", Counts(16, 4, 0, 3000)}, // 80 %, just above the mean
                             {"G", Counts(18, 0, 2, 900)},
                             {"K", Counts(14, 6, 0, 5000)}, // 70 %
                             {"M", Counts(14, 6, 0, 9000)}, // 70 %, slower
                             {"E", Counts(0, 3, 0)}});      // three launches: too few to judge
    ASSERT_LT(MeanAccuracy(keys), 0.8);
    ASSERT_GT(MeanAccuracy(keys), 0.7);
    EXPECT_EQ(Names(WeakestKeys(keys)), (std::vector<std::string>{"B", "M", "K"}));
    EXPECT_EQ(Names(WeakestKeys(keys, 2)), (std::vector<std::string>{"B", "M"}));
    EXPECT_TRUE(WeakestKeys({}).empty());
}

TEST(KeyStats, NoKeyIsNamedAfterOneShortGameNorAtAHundredPercent)
{
    // One game: each key fell once or twice, one landed, one stray press.
    const auto once = ByKey({{"W", Counts(4, 1, 0)}, {"4", Counts(0, 1, 0)}, {"Q", Counts(2, 0, 0)}});
    EXPECT_TRUE(WeakestKeys(once).empty());
    // A player typing every key without a slip: the mean is 100 %, nothing is below it.
    const auto perfect = ByKey({{"A", Counts(30, 0, 0, 900)}, {"B", Counts(30, 0, 0, 2000)}});
    EXPECT_TRUE(WeakestKeys(perfect).empty());
    // Even with a threshold of one launch, a key at 100 % is never named.
    const auto mixed = ByKey({{"A", Counts(30, 0, 0)}, {"B", Counts(1, 29, 0)}});
    EXPECT_EQ(Names(WeakestKeys(mixed, 5, 1)), (std::vector<std::string>{"B"}));
}

} // namespace
} // namespace keyfall::records
