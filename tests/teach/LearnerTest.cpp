// A whole learner on the virtual clock: a model that types each key with its own speed and
// accuracy, and gets better at the keys it practises, plays the course from its first stage
// game after game, its games written to a records file as the program writes them. The course
// must open each stage only once the model has mastered the keys before it, in order, and the
// weak-key practice must aim at the key the model is weakest at.

#include "records/GameRecorder.h"
#include "records/RecordStore.h"
#include "records/Skills.h"
#include "records/TempFolder.h"
#include "support/Doubles.h"
#include "teach/Course.h"
#include "teach/Training.h"
#include "teach/Utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <random>

namespace keyfall::teach {
namespace {

class VirtualTime : public records::Clock {
public:
    explicit VirtualTime(const VirtualClock& clock) : m_clock(clock) {}
    std::string NowUtc() const override { return "2026-12-08T10:00:00Z"; }
    std::int64_t SteadyMs() const override { return m_clock.Now(); }

private:
    const VirtualClock& m_clock;
};

// How the model types: each key's time per stroke and its chance of a slip, both better
// after every hit on it, down to a floor. A key never practised starts slow and unsure; "k"
// is harder than the rest and learns more slowly.
class Learner {
public:
    explicit Learner(std::uint32_t seed) : m_random(seed) {}
    double StrokeMs(const std::string& key) { return Skill(key).strokeMs; }
    double SlipChance(const std::string& key) { return Skill(key).slip; }
    void Practised(const std::string& key)
    {
        Key& skill = Skill(key);
        const bool hard = key == "k";
        skill.strokeMs = std::max(350.0, skill.strokeMs * (hard ? 0.99 : 0.98));
        skill.slip = std::max(0.01, skill.slip * (hard ? 0.985 : 0.96));
    }
    std::mt19937& random() { return m_random; }

private:
    struct Key {
        double strokeMs;
        double slip;
    };
    Key& Skill(const std::string& key)
    {
        return m_keys.try_emplace(key, Key{2500.0, key == "k" ? 0.5 : 0.25}).first->second;
    }
    std::map<std::string, Key> m_keys;
    std::mt19937 m_random;
};

struct Course_ : ::testing::Test {
    Keymap keymap = std::move(*KeymapFromNames("evdev", "pc105", "it").keymap);
    Course course{keymap};
};

// One game of eight rounds on the easy level, the model always typing the lowest letter.
void Play(test::Game& game, Learner& learner, const std::u32string& characters)
{
    game.form.cmdStart_Click();
    std::int64_t strokeStart = game.clock.Now();
    bool waiting = true; // nothing falling since the last stroke
    const std::int64_t end = game.clock.Now() + std::int64_t{60} * 60 * 1000;
    std::uniform_real_distribution<double> chance(0, 1);
    while (game.form.GameRunning && game.clock.Now() < end) {
        game.clock.Advance(10);
        const int lowest = game.form.LowestLetter();
        if (lowest < 0) {
            waiting = true;
            continue;
        }
        if (waiting) {
            waiting = false;
            strokeStart = game.clock.Now();
        }
        const std::string key = game.form.lblLetter[static_cast<std::size_t>(lowest)].Caption;
        if (static_cast<double>(game.clock.Now() - strokeStart) < learner.StrokeMs(key))
            continue;
        strokeStart = game.clock.Now();
        if (chance(learner.random()) < learner.SlipChance(key)) {
            // A slip: a neighbour of the set, which hits a copy of it if one falls.
            std::uniform_int_distribution<std::size_t> any(0, characters.size() - 1);
            char32_t slip = characters[any(learner.random())];
            if (Utf8(slip) == key)
                slip = characters[(characters.find(slip) + 1) % characters.size()];
            game.form.Form_KeyPress(slip);
        } else {
            game.form.Form_KeyPress(DecodeUtf8(key).front());
            learner.Practised(key);
        }
    }
}

std::vector<std::string> Keys(std::u32string_view characters)
{
    std::vector<std::string> keys;
    for (char32_t c : characters)
        keys.push_back(Utf8(c));
    return keys;
}

void LearnTheCourse(const Course& course, std::uint64_t gameSeed, std::uint32_t learnerSeed)
{
    test::TempFolder folder;
    records::RecordStore store(folder.File("keyfall.sqlite"), {});
    ASSERT_TRUE(store.IsOpen()) << store.Problem();
    test::Game game(gameSeed);
    game.Load();
    VirtualTime time(game.clock);
    std::optional<records::SaveResult> saved;
    records::GameRecorder recorder("anna", time, [&](const records::GameRecord& record) {
        saved = store.Save(record);
        ASSERT_TRUE(saved) << store.Problem();
    });
    game.form.SetEvents(recorder);
    Learner learner(learnerSeed);

    constexpr int kStagesToPass = 4;
    constexpr int kMostGames = 400;
    int reached = 0;
    int stagesPassed = 0;
    std::map<std::string, records::KeySkill> skills;
    int clearCases = 0;
    std::string progress;
    int games = 0;
    for (; games < kMostGames && reached < kStagesToPass; ++games) {
        const Stage& stage = course.Stages()[static_cast<std::size_t>(reached)];
        WeightedDraw draw(StageDraw(course, reached, records::FallPace(stagesPassed)));
        game.form.SetCharacters(&draw);
        recorder.SetStage(records::StageGame{course.Name(), reached, Keys(stage.keys)});
        saved.reset();
        Play(game, learner, course.CharactersUpTo(reached));
        ASSERT_TRUE(saved) << "game " << games << " was not handed over";
        skills = saved->skills;
        const int before = reached;
        if (saved->stageReached) {
            ASSERT_EQ(*saved->stageReached, before + 1) << "stages open one after the other, in order";
            // The model really has mastered every key of the stage it passed.
            for (const std::string& key : Keys(stage.keys)) {
                EXPECT_LT(learner.SlipChance(key), 0.1) << key << " at game " << games;
                EXPECT_TRUE(records::Mastered(skills.at(key), records::TargetMs(stagesPassed))) << key;
            }
            reached = *saved->stageReached;
            progress += " " + std::to_string(games + 1) + ":" + std::to_string(reached);
        }
        stagesPassed = saved->stagesPassed;
        EXPECT_EQ(store.StageReached("anna", course.Name()), reached);

        // Where the model is plainly weakest at one key of the stages reached, and the records
        // have seen every one of those keys often enough to tell, the weak-key practice names
        // that key.
        const std::vector<std::string> reachedKeys = Keys(course.CharactersUpTo(reached));
        std::vector<std::pair<double, std::string>> slips;
        bool seenEnough = true;
        for (const std::string& key : reachedKeys) {
            slips.emplace_back(learner.SlipChance(key), key);
            const auto skill = skills.find(key);
            seenEnough = seenEnough && skill != skills.end() && skill->second.hits + skill->second.errors >= 40;
        }
        std::sort(slips.rbegin(), slips.rend());
        if (seenEnough && slips[0].first > 0.06 && slips[0].first >= 1.5 * slips[1].first) {
            ++clearCases;
            EXPECT_EQ(records::FocusKey(reachedKeys, skills, records::TargetMs(stagesPassed)), slips[0].second)
                << "game " << games << ", the model's weakest key slips " << slips[0].first;
        }
    }
    std::cout << "stages reached (game:stage):" << progress << " after " << games
              << " games; the weakest key checked in " << clearCases << " games\n";
    EXPECT_EQ(reached, kStagesToPass) << "the learner got stuck at stage " << reached + 1;
    EXPECT_GT(clearCases, 3) << "the weakest key was never plain enough to check";

    // Practice aimed at the weak keys: the focus key falls in about a third of the letters.
    const std::vector<std::string> reachedKeys = Keys(course.CharactersUpTo(reached));
    WeightedDraw::Options weak;
    weak.characters = course.CharactersUpTo(reached);
    const double target = records::TargetMs(stagesPassed);
    for (const std::string& key : reachedKeys) {
        const auto skill = skills.find(key);
        weak.weights.push_back(records::Weakness(skill == skills.end() ? nullptr : &skill->second, target));
    }
    const std::string focus = records::FocusKey(reachedKeys, skills, target);
    weak.focus = static_cast<int>(std::find(reachedKeys.begin(), reachedKeys.end(), focus) - reachedKeys.begin());
    WeightedDraw draw(weak);
    game.form.SetCharacters(&draw);
    recorder.SetStage(std::nullopt);
    for (int played = 0; played < 3; ++played) {
        saved.reset();
        Play(game, learner, weak.characters);
        ASSERT_TRUE(saved);
    }
    const auto after = store.Skills("anna");
    int launched = 0;
    for (const auto& [key, skill] : after) {
        const auto before = skills.find(key);
        launched += skill.launched - (before == skills.end() ? 0 : before->second.launched);
        EXPECT_NE(std::find(reachedKeys.begin(), reachedKeys.end(), key), reachedKeys.end())
            << key << " is no key of the stages reached";
    }
    const auto focusBefore = skills.find(focus);
    const int focusLaunched =
        after.at(focus).launched - (focusBefore == skills.end() ? 0 : focusBefore->second.launched);
    EXPECT_NEAR(static_cast<double>(focusLaunched) / launched, 1.0 / 3, 0.1) << focus;
}

TEST_F(Course_, ASimulatedLearnerPassesTheStagesInOrderOnlyOnceMasteredAndIsOfferedItsWeakestKey)
{
    for (const auto& [gameSeed, learnerSeed] : {std::pair{31u, 2026u}, std::pair{7u, 11u}, std::pair{1234u, 99u}}) {
        SCOPED_TRACE("seeds " + std::to_string(gameSeed) + ", " + std::to_string(learnerSeed));
        LearnTheCourse(course, gameSeed, learnerSeed);
    }
}

} // namespace
} // namespace keyfall::teach
