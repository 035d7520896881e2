// Each key's skill: how it is folded from the games, when it counts as mastered, how the
// records keep it game by game, and how a stage of the course is passed and never lost.

#include "records/Skills.h"
#include "game/CharacterSource.h"
#include "records/RecordStore.h"
#include "records/SampleGames.h"
#include "records/TempFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace keyfall::records {
namespace {

using test::TempFolder;

// One key's counts in one game: `hits` hits `ticks` apart from their launch each, and
// `errors` landings.
KeyCounts Counts(int hits, int ticks, int errors = 0)
{
    KeyCounts counts;
    counts.launched = hits + errors;
    counts.hits = hits;
    counts.landed = errors;
    counts.reactionTicks = static_cast<std::int64_t>(hits) * ticks;
    return counts;
}

TEST(KeySkill, SpeedIsSmoothedAcrossGamesAndTheBestIsKept)
{
    KeySkill skill;
    Fold(skill, Counts(4, 20), 100); // 2000 ms
    ASSERT_TRUE(skill.smoothedMs);
    EXPECT_DOUBLE_EQ(*skill.smoothedMs, 2000);
    Fold(skill, Counts(2, 10), 100); // 1000 ms: a tenth of the way there
    EXPECT_DOUBLE_EQ(*skill.smoothedMs, 1900);
    Fold(skill, Counts(1, 120), 25); // 3000 ms at the hard level's 25 ms ticks
    EXPECT_DOUBLE_EQ(*skill.smoothedMs, 1900 + 0.1 * (3000 - 1900));
    EXPECT_DOUBLE_EQ(*skill.bestMs, 1900);
    EXPECT_EQ(skill.games, 3);
    EXPECT_EQ(skill.hits, 7);

    KeySkill untouched = skill;
    Fold(skill, KeyCounts{}, 100);
    EXPECT_EQ(skill, untouched) << "a game that did nothing to the key changes nothing";
}

TEST(KeySkill, EveryKindOfErrorCountsAgainstTheKeyAndTheLatestGamesCountMost)
{
    KeyCounts slips;
    slips.launched = 3;
    slips.hits = 1;
    slips.landed = 1;
    slips.wrong = 1;     // typed with nothing of it falling
    slips.missedFor = 2; // it was falling lowest while another key was typed
    slips.reactionTicks = 10;
    KeySkill skill;
    Fold(skill, slips, 100);
    EXPECT_EQ(skill.errors, 4);
    EXPECT_DOUBLE_EQ(skill.Accuracy(), 1.0 / 5);
    // Ten clean games later the early slips weigh 0.9^10 of what they did.
    for (int game = 0; game < 10; ++game)
        Fold(skill, Counts(5, 10), 100);
    EXPECT_GT(skill.Accuracy(), 0.95);
    EXPECT_LT(static_cast<double>(skill.hits) / (skill.hits + skill.errors), 0.95)
        << "over all time it would still be below; the weighting is what lets a player recover";
}

TEST(KeySkill, AKeyTypedFastButWronglyStaysWeak)
{
    KeySkill fastAndWrong;
    for (int game = 0; game < 20; ++game)
        Fold(fastAndWrong, Counts(6, 3, 4), 100); // 300 ms, 60 % right
    const double target = TargetMs(0);
    EXPECT_LT(*fastAndWrong.smoothedMs, target / 5);
    EXPECT_LT(Confidence(fastAndWrong, target), kMasteredConfidence);
    EXPECT_FALSE(Mastered(fastAndWrong, target));

    KeySkill slowAndRight;
    for (int game = 0; game < 20; ++game)
        Fold(slowAndRight, Counts(6, 60), 100); // 6000 ms, no slip
    EXPECT_FALSE(Mastered(slowAndRight, target));
    EXPECT_NEAR(Confidence(slowAndRight, target), target / 6000, 1e-9);
    KeySkill fastAndRight;
    for (int game = 0; game < 20; ++game)
        Fold(fastAndRight, Counts(6, 3), 100);
    EXPECT_DOUBLE_EQ(Confidence(fastAndRight, target), 1) << "a key at its best is sure, no more";
    EXPECT_TRUE(Mastered(fastAndRight, target));

    EXPECT_EQ(FocusKey({"a", "s", "d"}, {{"a", slowAndRight}, {"s", fastAndWrong}}, target), "d")
        << "a key never typed is the weakest of all";
    EXPECT_EQ(FocusKey({"a", "s"}, {{"a", slowAndRight}, {"s", fastAndWrong}}, target), "s");
    EXPECT_GT(Weakness(nullptr, target), Weakness(&slowAndRight, target));
}

TEST(KeySkill, MasteredExactlyAtTheThresholds)
{
    KeySkill skill;
    skill.hits = kMinHitsToMaster;
    skill.hitWeight = 19;
    skill.errorWeight = 1; // 95 %
    const double target = TargetMs(2);
    skill.smoothedMs = target;
    EXPECT_DOUBLE_EQ(skill.Accuracy(), kMasteredAccuracy);
    EXPECT_DOUBLE_EQ(Confidence(skill, target), 1.0);
    EXPECT_TRUE(Mastered(skill, target));

    KeySkill slower = skill;
    slower.smoothedMs = target * 1.001;
    EXPECT_FALSE(Mastered(slower, target));
    KeySkill lessAccurate = skill;
    lessAccurate.errorWeight = 1.01;
    EXPECT_FALSE(Mastered(lessAccurate, target));
    KeySkill tooFewHits = skill;
    tooFewHits.hits = kMinHitsToMaster - 1;
    EXPECT_FALSE(Mastered(tooFewHits, target));
}

TEST(KeySkill, TheTargetComesDownWithEveryStagePassedAndStopsAtTheFastest)
{
    EXPECT_DOUBLE_EQ(TargetMs(0), kFirstTargetMs);
    for (int passed = 1; passed < 40; ++passed)
        EXPECT_LE(TargetMs(passed), TargetMs(passed - 1));
    EXPECT_LT(TargetMs(3), TargetMs(2));
    EXPECT_DOUBLE_EQ(TargetMs(40), kFastestTargetMs);
    EXPECT_DOUBLE_EQ(FallPace(0), 0);
    EXPECT_GT(FallPace(3), FallPace(2));
    EXPECT_DOUBLE_EQ(FallPace(40), 1);
    EXPECT_DOUBLE_EQ(AccuracyFactor(kAccuracyFloor), 0);
    EXPECT_DOUBLE_EQ(AccuracyFactor(1), 1);
}

// A game of `hits` hits on each of `keys`, `ticks` ticks each at the easy level, and
// `landings` landings of each.
GameRecord Practice(const std::vector<std::string>& keys, int hits, int ticks, int landings = 0,
                    std::optional<StageGame> stage = std::nullopt, bool finished = true)
{
    GameRecord game = test::SampleGame("anna", 100, 100, keyfall::KeySetStage, finished, "2026-12-01T10:00:00Z", 0);
    game.keys.clear();
    game.hits = game.landed = game.misses = 0;
    for (const std::string& key : keys) {
        game.keys[key] = Counts(hits, ticks, landings);
        game.hits += hits;
        game.landed += landings;
    }
    game.stage = std::move(stage);
    return game;
}

StageGame Stage(int index, std::vector<std::string> keys)
{
    return {"Italian", index, std::move(keys)};
}

TEST(RecordSkills, EachGameFoldsIntoTheStoredSkillsAsAReplayOfEveryGameWould)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    std::map<std::string, KeySkill> replayed;
    std::map<std::string, KeySkill> replayedWithoutMisses; // as a file from before they were counted
    {
        RecordStore store(path, {});
        for (int n = 0; n < 12; ++n) {
            GameRecord game =
                test::SampleGame("anna", 10 * n, n % 2 ? 25 : 50, 1, true, "2026-12-01T10:00:00Z", 30 + n);
            game.keys["A"].missedFor = n % 3;
            for (auto [key, counts] : game.keys) {
                Fold(replayed[key], counts, game.level);
                counts.missedFor = 0;
                Fold(replayedWithoutMisses[key], counts, game.level);
            }
            const auto saved = store.Save(game);
            ASSERT_TRUE(saved) << store.Problem();
            EXPECT_EQ(saved->skills, replayed) << "after game " << n;
        }
        ASSERT_TRUE(store.Save(test::SampleGame("bruno", 5)));
        EXPECT_EQ(store.Skills("anna"), replayed) << "another player's games are theirs";
    }
    // A file from before the skills were kept gains them from its games, the same values.
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    ASSERT_EQ(sqlite3_exec(db,
                           "DROP TABLE key_skills; DROP TABLE stages_reached; "
                           "ALTER TABLE game_keys DROP COLUMN missed_for; PRAGMA user_version = 3;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    RecordStore::Options readOnly;
    readOnly.readOnly = true;
    EXPECT_EQ(RecordStore(path, readOnly).Skills("anna"), replayedWithoutMisses)
        << "an older file, only read, is replayed";
    RecordStore store(path, {});
    ASSERT_TRUE(store.IsOpen()) << store.Problem();
    EXPECT_EQ(store.Skills("anna"), replayedWithoutMisses);
    const auto all = store.AllSkills();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front().player, "anna");
    EXPECT_EQ(all.back().player, "bruno");

    const auto speeds = store.KeySpeeds("anna", "B");
    ASSERT_EQ(speeds.size(), 12u);
    EXPECT_DOUBLE_EQ(speeds.back().smoothedMs, *replayedWithoutMisses["B"].smoothedMs);
}

TEST(RecordSkills, AStageIsPassedByAFinishedGameWithEveryOneOfItsKeysMastered)
{
    TempFolder folder;
    RecordStore store(folder.File("keyfall.sqlite"), {});
    const std::vector<std::string> home{"a", "s"};
    // Fast and right, but too few hits yet.
    auto saved = store.Save(Practice(home, kMinHitsToMaster - 1, 10, 0, Stage(0, home)));
    ASSERT_TRUE(saved) << store.Problem();
    EXPECT_FALSE(saved->stageReached);
    // Enough hits on "a", but "s" lands too often.
    GameRecord mixed = Practice({"a"}, 20, 10, 0, Stage(0, home));
    mixed.keys["s"] = Counts(20, 10, 10);
    saved = store.Save(mixed);
    EXPECT_FALSE(saved->stageReached);
    EXPECT_EQ(store.StageReached("anna", "Italian"), 0);
    // Mastered both, but the game was stopped with DA CAPO.
    for (int n = 0; n < 12; ++n)
        store.Save(Practice(home, 10, 10, 0, std::nullopt));
    saved = store.Save(Practice(home, 10, 10, 0, Stage(0, home), false));
    EXPECT_TRUE(Mastered(saved->skills.at("s"), TargetMs(0)));
    EXPECT_FALSE(saved->stageReached) << "only a finished game passes a stage";
    saved = store.Save(Practice(home, 10, 10, 0, Stage(0, home)));
    ASSERT_TRUE(saved->stageReached);
    EXPECT_EQ(*saved->stageReached, 1);
    EXPECT_EQ(saved->stagesPassed, 1);
    EXPECT_EQ(store.StageReached("anna", "Italian"), 1);
    EXPECT_EQ(store.StageReached("anna", "US"), 0) << "each course has its own progress";
    EXPECT_EQ(store.StageReached("bruno", "Italian"), 0);
}

TEST(RecordSkills, AReachedStageIsNeverLockedAgainAndALockedOneCannotBePassed)
{
    TempFolder folder;
    RecordStore store(folder.File("keyfall.sqlite"), {});
    const std::vector<std::string> keys{"a"};
    for (int n = 0; n < 5; ++n)
        store.Save(Practice(keys, 10, 10));
    EXPECT_FALSE(store.Save(Practice(keys, 10, 10, 0, Stage(2, keys)))->stageReached) << "stage 2 is not reached yet";
    for (int stage = 0; stage < 3; ++stage)
        EXPECT_TRUE(store.Save(Practice(keys, 10, 10, 0, Stage(stage, keys)))->stageReached);
    EXPECT_EQ(store.StageReached("anna", "Italian"), 3);
    // Passing the first again, or playing badly on any stage, keeps what was reached.
    EXPECT_EQ(store.Save(Practice(keys, 10, 10, 0, Stage(0, keys)))->stageReached, 3);
    for (int n = 0; n < 30; ++n)
        store.Save(Practice(keys, 1, 200, 10, Stage(1, keys)));
    EXPECT_EQ(store.StageReached("anna", "Italian"), 3);
    EXPECT_EQ(store.StagesPassed("anna"), 3);
}

} // namespace
} // namespace keyfall::records
