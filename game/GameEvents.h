#pragma once
// What happened in a game, in the game's own terms, for whoever keeps track of it (the
// player's records, statistics). The core calls these from its handlers; a listener must
// return at once and never call back into the game. Every method does nothing by default,
// so a listener overrides only what it needs.

#include <cstdint>
#include <string>

namespace keyfall {

// Which key set a game was started with: the index of the first chosen option (0 upper
// case, 1 lower case, 2 digits, 3 letters, 4 letters and digits), or kNoKeySet.
inline constexpr int kNoKeySet = -1;

class GameEvents {
public:
    virtual ~GameEvents() = default;
    // VIA: a game of `rounds` rounds at `level` (100, 50 or 25, the letter timer's interval).
    virtual void GameStarted(std::int16_t /*level*/, std::int16_t /*rounds*/, int /*keySet*/) {}
    // A character starts to fall in `slot` (0 to 17) with a new wave.
    virtual void Launched(int /*slot*/, const std::string& /*character*/) {}
    // The player typed the character falling in `slot` at `height` twips, `ticks` letter-timer
    // ticks after its launch.
    virtual void Hit(const std::string& /*character*/, int /*slot*/, float /*height*/, int /*ticks*/) {}
    // The player typed a character that hit nothing (it costs the miss penalty). `meantFor` is
    // the lowest falling character, the one the key was most likely meant for; empty when
    // nothing was falling.
    virtual void Missed(const std::string& /*character*/, const std::string& /*meantFor*/) {}
    // The character falling in `slot` reached the ground.
    virtual void Landed(int /*slot*/, const std::string& /*character*/) {}
    // The tally of round `round` added `points` to the total.
    virtual void RoundScored(std::int16_t /*round*/, int /*points*/) {}
    // The game is over: played to its last round (`finished`) or stopped with DA CAPO.
    virtual void GameEnded(std::int16_t /*total*/, bool /*finished*/) {}
};

} // namespace keyfall
