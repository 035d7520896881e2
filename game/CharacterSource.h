#pragma once
// Which characters the letters take when a training set replaces the key sets of the options
// window. The teaching room hands one in; without one the game draws from the specified key
// sets exactly as always.

#include "settings/Random.h"

#include <cstdint>
#include <string>
#include <utility>

namespace keyfall {

// The key sets beyond the options window's five (0..4), as the records file them.
enum TrainingKeySet : int {
    KeySetAccented = 5,  // à è é ì ò ù
    KeySetHomeRow = 6,   // the home row of the player's layout
    KeySetTopRow = 7,    // the row above it
    KeySetBottomRow = 8, // the row below it
    KeySetOwn = 9,       // characters the player chose
    KeySetWeakKeys = 10, // the player's weakest keys
    KeySetStage = 20,    // a stage of the course: 20 its first, 21 the next, and so on
};

class CharacterSource {
public:
    virtual ~CharacterSource() = default;
    // The character (UTF-8, never empty) for the letter of `slot` (0..17) in a new wave, drawn
    // with the game's generator so that a seeded game replays.
    virtual std::string Draw(Random& random, int slot) = 0;
    // The key set the records file the game under.
    virtual int KeySet() const = 0;
    // A new wave of `letters` letters (1..18) is about to draw its characters.
    virtual void WaveStarts(int /*letters*/) {}
    // The fall speeds the letters of a wave are drawn from, given the level's `low` and
    // `high`; a source may keep to a part of that range, never leave it.
    virtual std::pair<std::int16_t, std::int16_t> FallRange(std::int16_t low, std::int16_t high) const
    {
        return {low, high};
    }
};

} // namespace keyfall
