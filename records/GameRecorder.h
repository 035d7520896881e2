#pragma once
// Listens to a game and, when it ends, hands over what happened as one GameRecord. A game
// left with ESCI never ends, so it is never handed over.

#include "game/GameEvents.h"
#include "records/Record.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace keyfall::records {

class Clock {
public:
    virtual ~Clock() = default;
    // The wall-clock time, UTC, as "YYYY-MM-DDTHH:MM:SSZ".
    virtual std::string NowUtc() const = 0;
    // Milliseconds on a clock that never jumps.
    virtual std::int64_t SteadyMs() const = 0;
};

class SystemClock : public Clock {
public:
    std::string NowUtc() const override;
    std::int64_t SteadyMs() const override;
};

// Another clock with the time of the player's pauses taken out: a game's duration and typing
// time count only the time it was played.
class PausableClock : public Clock {
public:
    explicit PausableClock(const Clock& base) : m_base(base) {}
    std::string NowUtc() const override { return m_base.NowUtc(); }
    std::int64_t SteadyMs() const override;
    // Stops and restarts the steady time; pausing twice, or going on unpaused, changes nothing.
    void SetPaused(bool paused);
    bool Paused() const { return m_pausedAt.has_value(); }

private:
    const Clock& m_base;
    std::int64_t m_pausedMs = 0;            // the pauses that have ended
    std::optional<std::int64_t> m_pausedAt; // when the pause under way began
};

class GameRecorder : public GameEvents {
public:
    using Sink = std::function<void(GameRecord)>;
    GameRecorder(std::string player, const Clock& clock, Sink sink);

    void GameStarted(std::int16_t level, std::int16_t rounds, int keySet) override;
    void Launched(int slot, const std::string& character) override;
    void Hit(const std::string& character, int slot, float height, int ticks) override;
    void Missed(const std::string& character, const std::string& meantFor) override;
    void Landed(int slot, const std::string& character) override;
    void RoundScored(std::int16_t round, int points) override;
    void GameEnded(std::int16_t total, bool finished) override;

    const std::string& player() const { return m_player; }
    // The games started from now on are played on this stage of the course (none: off it).
    void SetStage(std::optional<StageGame> stage) { m_stage = std::move(stage); }

private:
    void Ended(const std::string& character);

    std::string m_player;
    const Clock& m_clock;
    Sink m_sink;
    std::optional<GameRecord> m_game; // the game under way
    std::optional<StageGame> m_stage;
    std::int64_t m_startMs = 0;
    std::int64_t m_waveStartMs = 0;
    int m_falling = 0;
};

} // namespace keyfall::records
