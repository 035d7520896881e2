#include "records/GameRecorder.h"

#include "game/CharacterSource.h"

#include <chrono>
#include <ctime>

namespace keyfall::records {

std::string SystemClock::NowUtc() const
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::int64_t SystemClock::SteadyMs() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t PausableClock::SteadyMs() const
{
    return (m_pausedAt ? *m_pausedAt : m_base.SteadyMs()) - m_pausedMs;
}

void PausableClock::SetPaused(bool paused)
{
    if (paused && !m_pausedAt) {
        m_pausedAt = m_base.SteadyMs();
    } else if (!paused && m_pausedAt) {
        m_pausedMs += m_base.SteadyMs() - *m_pausedAt;
        m_pausedAt.reset();
    }
}

GameRecorder::GameRecorder(std::string player, const Clock& clock, Sink sink)
    : m_player(std::move(player)), m_clock(clock), m_sink(std::move(sink))
{
}

void GameRecorder::GameStarted(std::int16_t level, std::int16_t rounds, int keySet)
{
    m_game = GameRecord{};
    m_game->player = m_player;
    m_game->startedAt = m_clock.NowUtc();
    m_game->level = level;
    m_game->rounds = rounds;
    m_game->keySet = keySet;
    m_game->stage = m_stage;
    m_startMs = m_clock.SteadyMs();
    m_falling = 0;
}

void GameRecorder::Launched(int /*slot*/, const std::string& character)
{
    if (!m_game)
        return;
    if (m_falling++ == 0)
        m_waveStartMs = m_clock.SteadyMs();
    ++m_game->keys[character].launched;
}

void GameRecorder::Ended(const std::string& /*character*/)
{
    if (m_falling > 0 && --m_falling == 0)
        m_game->typingMs += m_clock.SteadyMs() - m_waveStartMs;
}

void GameRecorder::Hit(const std::string& character, int /*slot*/, float /*height*/, int ticks)
{
    if (!m_game)
        return;
    KeyCounts& key = m_game->keys[character];
    ++key.hits;
    key.reactionTicks += ticks;
    ++m_game->hits;
    Ended(character);
}

void GameRecorder::Missed(const std::string& character, const std::string& meantFor)
{
    // Keys typed between games cost points on the board but are no part of any game.
    if (!m_game)
        return;
    ++m_game->keys[character].wrong;
    // A slip counts against both keys: the one pressed and the one the finger went for.
    if (!meantFor.empty())
        ++m_game->keys[meantFor].missedFor;
    ++m_game->misses;
}

void GameRecorder::Landed(int /*slot*/, const std::string& character)
{
    if (!m_game)
        return;
    ++m_game->keys[character].landed;
    ++m_game->landed;
    Ended(character);
}

void GameRecorder::RoundScored(std::int16_t round, int /*points*/)
{
    if (m_game)
        m_game->roundsPlayed = round;
}

void GameRecorder::GameEnded(std::int16_t total, bool finished)
{
    if (!m_game)
        return;
    const std::int64_t now = m_clock.SteadyMs();
    // A stop in the middle of a wave: the time it fell still counts.
    if (m_falling > 0)
        m_game->typingMs += now - m_waveStartMs;
    m_falling = 0;
    m_game->total = total;
    m_game->finished = finished;
    m_game->durationMs = now - m_startMs;
    GameRecord done = std::move(*m_game);
    m_game.reset();
    m_sink(std::move(done));
}

bool AnyLaunched(const GameRecord& game)
{
    return game.hits + game.landed > 0;
}

std::optional<double> CharsPerMinute(std::int64_t hits, std::int64_t typingMs)
{
    if (typingMs <= 0)
        return std::nullopt;
    return static_cast<double>(hits) * 60000.0 / static_cast<double>(typingMs);
}

std::optional<double> CharsPerMinute(const GameRecord& game)
{
    if (!AnyLaunched(game))
        return std::nullopt;
    return CharsPerMinute(game.hits, game.typingMs);
}

double Accuracy(int hits, int landed, int misses)
{
    const int all = hits + landed + misses;
    return all > 0 ? static_cast<double>(hits) / all : 0.0;
}

std::string LevelName(int level)
{
    switch (level) {
    case 100: return "Facile";
    case 50: return "Medio";
    case 25: return "Difficile";
    default: return std::to_string(level);
    }
}

std::string KeySetName(int keySet)
{
    switch (keySet) {
    // The options window's own words for them.
    case 0: return "solo maiuscole";
    case 1: return "solo minuscole";
    case 2: return "solo numeri";
    case 3: return "maiuscole e minuscole";
    case 4: return "maiuscole, minuscole e numeri";
    case KeySetAccented: return "lettere accentate";
    case KeySetHomeRow: return "riga centrale";
    case KeySetTopRow: return "riga superiore";
    case KeySetBottomRow: return "riga inferiore";
    case KeySetOwn: return "caratteri scelti";
    default: return "nessuna";
    }
}

} // namespace keyfall::records
