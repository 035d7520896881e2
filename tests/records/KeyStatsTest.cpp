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

TEST(KeyStats, TheWeakestAreTheLeastAccurateThenTheSlowest)
{
    const auto keys = ByKey({{"A", Counts(10, 0, 0, 4000)},
                             {"B", Counts(5, 5, 0, 2000)},
                             {"C", Counts(10, 0, 0, 9000)},
                             {"D", Counts(8, 2, 0, 3000)},
                             {"E", Counts(0, 1, 0)}, // one landing: too little to judge first
                             {"F", Counts(10, 0, 0, 1000)},
                             {"G", Counts(9, 0, 1, 900)}});
    EXPECT_EQ(Names(WeakestKeys(keys)), (std::vector<std::string>{"B", "D", "G", "C", "A"}));
    EXPECT_EQ(Names(WeakestKeys(keys, 7)), (std::vector<std::string>{"B", "D", "G", "C", "A", "F", "E"}));
    EXPECT_TRUE(WeakestKeys({}).empty());
}

} // namespace
} // namespace keyfall::records
