// The records' part in the course: each key's skill, kept in key_skills and brought up to
// date in the transaction that writes a game, and the stage each player reached on a course.

#include "records/RecordStore.h"
#include "records/Statement.h"

#include <algorithm>
#include <tuple>

namespace keyfall::records {
namespace {

// The rows of key_skills inside the domain its CHECK constraints state.
constexpr const char* kValidSkill =
    R"sql((typeof(s.character) = 'text' AND length(CAST(s.character AS BLOB)) BETWEEN 1 AND 64
    AND s.games BETWEEN 0 AND 2147483647 AND s.launched BETWEEN 0 AND 2147483647
    AND s.hits BETWEEN 0 AND 2147483647 AND s.errors BETWEEN 0 AND 2147483647
    AND s.hit_weight BETWEEN 0 AND 1e15 AND s.error_weight BETWEEN 0 AND 1e15
    AND (s.smoothed_ms IS NULL OR s.smoothed_ms BETWEEN 0 AND 1e15)
    AND (s.best_ms IS NULL OR s.best_ms BETWEEN 0 AND 1e15)) IS 1)sql";

constexpr const char* kSkillColumns =
    "s.character, s.games, s.launched, s.hits, s.errors, s.hit_weight, s.error_weight, s.smoothed_ms, s.best_ms";

// Reads kSkillColumns starting at `first`.
KeySkill SkillAt(const Statement& row, int first)
{
    KeySkill skill;
    skill.games = static_cast<int>(row.Int(first + 1));
    skill.launched = static_cast<int>(row.Int(first + 2));
    skill.hits = static_cast<int>(row.Int(first + 3));
    skill.errors = static_cast<int>(row.Int(first + 4));
    skill.hitWeight = row.Real(first + 5);
    skill.errorWeight = row.Real(first + 6);
    if (!row.IsNull(first + 7))
        skill.smoothedMs = row.Real(first + 7);
    if (!row.IsNull(first + 8))
        skill.bestMs = row.Real(first + 8);
    return skill;
}

// A game's counts as the replay reads them, from `first` on: launched, hits, landed, wrong,
// reaction ticks, missed for.
KeyCounts CountsAt(const Statement& row, int first)
{
    KeyCounts counts;
    counts.launched = static_cast<int>(row.Int(first));
    counts.hits = static_cast<int>(row.Int(first + 1));
    counts.landed = static_cast<int>(row.Int(first + 2));
    counts.wrong = static_cast<int>(row.Int(first + 3));
    counts.reactionTicks = row.Int(first + 4);
    counts.missedFor = static_cast<int>(row.Int(first + 5));
    return counts;
}

std::string WithSkillDomain(std::string sql)
{
    constexpr std::string_view kName = "{valid}";
    for (auto at = sql.find(kName); at != std::string::npos; at = sql.find(kName))
        sql.replace(at, kName.size(), kValidSkill);
    return sql;
}

} // namespace

std::map<std::pair<std::int64_t, std::string>, KeySkill>
RecordStore::ReplaySkills(const std::string& where, const std::string& player, std::string& error, int& code)
{
    std::map<std::pair<std::int64_t, std::string>, KeySkill> skills;
    Statement query(m_db, WithDomain("SELECT g.player_id, g.level, k.character, k.launched, k.hits, k.landed, k.wrong, "
                                     "k.reaction_ticks, {missed_for} FROM {games} g JOIN {keys} k ON k.game_id = g.id "
                                     "JOIN players p ON p.id = g.player_id "
                                         + where + " ORDER BY g.id",
                                     MissedFor())
                              .c_str());
    if (!player.empty())
        query.Bind(1, player);
    while (query.Step())
        Fold(skills[{query.Int(0), query.Text(2)}], CountsAt(query, 3), static_cast<int>(query.Int(1)));
    error = query.error();
    code = query.code();
    return skills;
}

bool RecordStore::FillSkills()
{
    std::string error;
    int code = 0;
    const auto skills = ReplaySkills({}, {}, error, code);
    if (!error.empty())
        return Fail(error, code);
    Statement insert(m_db, "INSERT INTO key_skills(player_id, character, games, launched, hits, errors, hit_weight, "
                           "error_weight, smoothed_ms, best_ms) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    for (const auto& [key, skill] : skills) {
        insert.Bind(1, key.first).Bind(2, key.second).Bind(3, skill.games).Bind(4, skill.launched);
        insert.Bind(5, skill.hits).Bind(6, skill.errors).Bind(7, skill.hitWeight).Bind(8, skill.errorWeight);
        skill.smoothedMs ? insert.Bind(9, *skill.smoothedMs) : insert.BindNull(9);
        skill.bestMs ? insert.Bind(10, *skill.bestMs) : insert.BindNull(10);
        insert.Step();
        if (!insert.ok())
            return Fail(insert.error(), insert.code());
        insert.Reset();
    }
    return true;
}

std::map<std::string, KeySkill> RecordStore::ReadSkills(std::int64_t playerId, std::string& error, int& code)
{
    std::map<std::string, KeySkill> skills;
    Statement query(m_db, WithSkillDomain(std::string("SELECT ") + kSkillColumns
                                          + " FROM key_skills s WHERE s.player_id = ?1 AND {valid}")
                              .c_str());
    query.Bind(1, playerId);
    while (query.Step())
        skills[query.Text(0)] = SkillAt(query, 0);
    error = query.error();
    code = query.code();
    return skills;
}

int RecordStore::ReadStagesPassed(std::int64_t playerId, std::string& error, int& code)
{
    Statement query(m_db, "SELECT MAX(stage) FROM stages_reached WHERE player_id = ?1 AND stage BETWEEN 0 AND 1000");
    query.Bind(1, playerId);
    const int passed = query.Step() && !query.IsNull(0) ? static_cast<int>(query.Int(0)) : 0;
    error = query.error();
    code = query.code();
    return passed;
}

bool RecordStore::WriteSkills(std::int64_t playerId, const GameRecord& game, SaveResult& result)
{
    std::string error;
    int code = 0;
    result.skills = ReadSkills(playerId, error, code);
    if (!error.empty())
        return Fail(error, code);
    result.stagesPassed = ReadStagesPassed(playerId, error, code);
    if (!error.empty())
        return Fail(error, code);

    Statement upsert(m_db, "INSERT INTO key_skills(player_id, character, games, launched, hits, errors, hit_weight, "
                           "error_weight, smoothed_ms, best_ms) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10) "
                           "ON CONFLICT(player_id, character) DO UPDATE SET games = excluded.games, "
                           "launched = excluded.launched, hits = excluded.hits, errors = excluded.errors, "
                           "hit_weight = excluded.hit_weight, error_weight = excluded.error_weight, "
                           "smoothed_ms = excluded.smoothed_ms, best_ms = excluded.best_ms");
    for (const auto& [character, counts] : game.keys) {
        KeySkill& skill = result.skills[character];
        Fold(skill, counts, game.level);
        upsert.Bind(1, playerId).Bind(2, character).Bind(3, skill.games).Bind(4, skill.launched);
        upsert.Bind(5, skill.hits).Bind(6, skill.errors).Bind(7, skill.hitWeight).Bind(8, skill.errorWeight);
        skill.smoothedMs ? upsert.Bind(9, *skill.smoothedMs) : upsert.BindNull(9);
        skill.bestMs ? upsert.Bind(10, *skill.bestMs) : upsert.BindNull(10);
        upsert.Step();
        if (!upsert.ok())
            return Fail(upsert.error(), upsert.code());
        upsert.Reset();
    }

    if (!game.stage || !game.finished || game.stage->keys.empty() || game.stage->course.empty()
        || game.stage->course.size() > 200 || game.stage->stage < 0 || game.stage->stage >= 1000)
        return true;
    const StageGame& stage = *game.stage;
    Statement reached(m_db, "SELECT stage FROM stages_reached WHERE player_id = ?1 AND course = ?2 "
                            "AND stage BETWEEN 0 AND 1000");
    reached.Bind(1, playerId).Bind(2, stage.course);
    const int before = reached.Step() ? static_cast<int>(reached.Int(0)) : 0;
    if (!reached.ok())
        return Fail(reached.error(), reached.code());
    // A stage not yet reached cannot be passed; one reached long ago can, and keeps what was reached.
    if (stage.stage > before)
        return true;
    const double target = TargetMs(result.stagesPassed);
    for (const std::string& key : stage.keys) {
        const auto skill = result.skills.find(key);
        if (skill == result.skills.end() || !Mastered(skill->second, target))
            return true;
    }
    const int after = std::max(before, stage.stage + 1);
    Statement raise(m_db, "INSERT INTO stages_reached(player_id, course, stage) VALUES (?1, ?2, ?3) "
                          "ON CONFLICT(player_id, course) DO UPDATE SET stage = excluded.stage");
    raise.Bind(1, playerId).Bind(2, stage.course).Bind(3, after).Step();
    if (!raise.ok())
        return Fail(raise.error(), raise.code());
    result.stageReached = after;
    result.stagesPassed = std::max(result.stagesPassed, after);
    return true;
}

std::map<std::string, KeySkill> RecordStore::Skills(const std::string& player)
{
    std::map<std::string, KeySkill> skills;
    if (!m_db) {
        if (m_noFile)
            Finish({}, 0, 0);
        return skills;
    }
    std::string error;
    int code = 0;
    if (m_version < 4) {
        for (auto& [key, skill] : ReplaySkills("WHERE p.name = ?1", player, error, code))
            skills[key.second] = skill;
    } else {
        Statement query(m_db, WithSkillDomain(std::string("SELECT ") + kSkillColumns
                                              + " FROM key_skills s JOIN players p ON p.id = s.player_id "
                                                "WHERE p.name = ?1 AND {valid}")
                                  .c_str());
        query.Bind(1, player);
        while (query.Step())
            skills[query.Text(0)] = SkillAt(query, 0);
        error = query.error();
        code = query.code();
    }
    Finish(error, code, 0);
    return skills;
}

int RecordStore::StageReached(const std::string& player, const std::string& course)
{
    if (!m_db || m_version < 4) {
        if (m_db || m_noFile)
            Finish({}, 0, 0);
        return 0;
    }
    Statement query(m_db, "SELECT r.stage FROM stages_reached r JOIN players p ON p.id = r.player_id "
                          "WHERE p.name = ?1 AND r.course = ?2 AND r.stage BETWEEN 0 AND 1000");
    query.Bind(1, player).Bind(2, course);
    const int stage = query.Step() ? static_cast<int>(query.Int(0)) : 0;
    Finish(query.error(), query.code(), 0);
    return stage;
}

int RecordStore::StagesPassed(const std::string& player)
{
    if (!m_db || m_version < 4) {
        if (m_db || m_noFile)
            Finish({}, 0, 0);
        return 0;
    }
    Statement query(m_db, "SELECT MAX(r.stage) FROM stages_reached r JOIN players p ON p.id = r.player_id "
                          "WHERE p.name = ?1 AND r.stage BETWEEN 0 AND 1000");
    query.Bind(1, player);
    const int passed = query.Step() && !query.IsNull(0) ? static_cast<int>(query.Int(0)) : 0;
    Finish(query.error(), query.code(), 0);
    return passed;
}

std::vector<SpeedPoint> RecordStore::KeySpeeds(const std::string& player, const std::string& character)
{
    std::vector<SpeedPoint> points;
    if (!m_db) {
        if (m_noFile)
            Finish({}, 0, 0);
        return points;
    }
    Statement query(m_db, WithDomain("SELECT g.started_at, g.level, k.launched, k.hits, k.landed, k.wrong, "
                                     "k.reaction_ticks, {missed_for} FROM {games} g JOIN {keys} k ON k.game_id = g.id "
                                     "JOIN players p ON p.id = g.player_id WHERE p.name = ?1 AND k.character = ?2 "
                                     "ORDER BY g.id",
                                     MissedFor())
                              .c_str());
    query.Bind(1, player).Bind(2, character);
    KeySkill skill;
    while (query.Step()) {
        const KeyCounts counts = CountsAt(query, 2);
        const int level = static_cast<int>(query.Int(1));
        Fold(skill, counts, level);
        if (counts.hits > 0) {
            points.push_back(
                {query.Text(0), static_cast<double>(counts.reactionTicks) * level / counts.hits, *skill.smoothedMs});
        }
    }
    Finish(query.error(), query.code(), 0);
    return points;
}

std::vector<PlayerKeySkill> RecordStore::AllSkills()
{
    std::vector<PlayerKeySkill> all;
    if (!m_db) {
        if (m_noFile)
            Finish({}, 0, 0);
        return all;
    }
    std::string error;
    int code = 0;
    if (m_version < 4) {
        std::map<std::int64_t, std::string> names;
        Statement players(m_db, "SELECT id, name FROM players");
        while (players.Step())
            names[players.Int(0)] = players.Text(1);
        for (auto& [key, skill] : ReplaySkills({}, {}, error, code))
            all.push_back({names[key.first], key.second, skill, 0});
        if (error.empty() && !players.ok()) {
            error = players.error();
            code = players.code();
        }
    } else {
        Statement query(m_db, WithSkillDomain(std::string("SELECT p.name, ") + kSkillColumns
                                              + ", (SELECT MAX(r.stage) FROM stages_reached r WHERE r.player_id = p.id "
                                                "AND r.stage BETWEEN 0 AND 1000) "
                                                "FROM key_skills s JOIN players p ON p.id = s.player_id WHERE {valid}")
                                  .c_str());
        while (query.Step())
            all.push_back({query.Text(0), query.Text(1), SkillAt(query, 1),
                           query.IsNull(10) ? 0 : static_cast<int>(query.Int(10))});
        error = query.error();
        code = query.code();
    }
    std::sort(all.begin(), all.end(), [](const PlayerKeySkill& a, const PlayerKeySkill& b) {
        return std::tie(a.player, a.character) < std::tie(b.player, b.character);
    });
    Finish(error, code, 0);
    return all;
}

} // namespace keyfall::records
