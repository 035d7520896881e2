#pragma once
// What the player chose to practise in the training window, how it is kept in the settings
// file (group [Allenamento]), and the character source that makes the game launch it.

#include "game/CharacterSource.h"
#include "teach/CharacterSets.h"
#include "teach/Course.h"
#include "teach/Keymap.h"

#include <optional>
#include <string>
#include <vector>

namespace keyfall::teach {

enum class Training {
    Specified, // the key sets of the options window, as the game has always played
    Accented,
    HomeRow,
    TopRow,
    BottomRow,
    Own,
    Stage,    // a stage of the course (teach/Course.h)
    WeakKeys, // the player's weakest keys of the stages reached
};

struct TrainingChoice {
    Training kind = Training::Specified;
    std::string own; // the player's own characters (UTF-8), kept even while another set is chosen
    int stage = 0;   // the stage of the course, for Stage
    bool operator==(const TrainingChoice&) const = default;
};

// How a choice is written in the settings file ("specificati", "accentate", "riga-centrale",
// "riga-superiore", "riga-inferiore", "propri") and read back; an unknown word is nothing.
std::string StoredName(Training kind);
std::optional<Training> TrainingNamed(std::string_view stored);
// The Italian name of the choice, as the window and the caption show it.
std::string DisplayName(Training kind);
// The key set the records file a game of this choice under (-1 for Specified: the options
// window's own sets say which).
int KeySetOf(Training kind);

// The characters a choice launches on this keyboard, each once, and why there are none when
// the keyboard cannot type it (an Italian sentence); Specified has no characters of its own,
// and neither has WeakKeys, whose keys come from the player's records.
struct TrainingSet {
    std::u32string characters;
    std::string problem;
};
TrainingSet CharactersOf(const TrainingChoice& choice, const Keymap& keymap);

// Draws each letter's character from a set, every character equally often.
class UniformDraw : public CharacterSource {
public:
    // `characters` holds 1 to 1000 characters (a player's set is far shorter).
    UniformDraw(const std::u32string& characters, int keySet);
    std::string Draw(Random& random, int slot) override;
    int KeySet() const override { return m_keySet; }

private:
    std::vector<std::string> m_characters;
    int m_keySet;
};

// Draws each letter's character with a chance in proportion to its weight, and gives the
// focus character, when there is one, a fixed share of the letters. Within a wave of two
// or more letters the characters are never all the same one (when there are two to draw
// from): the whole field falling as one key teaches nothing.
class WeightedDraw : public CharacterSource {
public:
    struct Options {
        std::u32string characters;   // 1 to 1000 characters, each once
        std::vector<double> weights; // one per character, each above 0
        int focus = -1;              // the index of the focus character, or -1 for none
        double focusShare = 1.0 / 3; // the focus character's share of the letters, 0 to 1
        int keySet = KeySetOwn;
        // Where in the level's range of fall speeds the letters keep to: 0 its slow end only,
        // 1 all of it.
        double pace = 1;
    };
    explicit WeightedDraw(Options options);

    std::string Draw(Random& random, int slot) override;
    int KeySet() const override { return m_options.keySet; }
    void WaveStarts(int letters) override;
    std::pair<std::int16_t, std::int16_t> FallRange(std::int16_t low, std::int16_t high) const override;

    const std::string& Focus() const;

private:
    std::size_t Pick(Random& random, std::size_t excluded) const;

    Options m_options;
    std::vector<std::string> m_characters;
    std::vector<double> m_cumulative; // of the weights without the focus character
    int m_letters = 0;                // in the wave under way
    int m_drawn = 0;
    std::size_t m_first = 0; // the wave's first character while all so far are the same
    bool m_allSame = true;
};

// A game on stage `index` of a course: its characters, the stage's own keys drawn as often
// together as all earlier ones together (on the first stage every key equally), at `pace`.
WeightedDraw::Options StageDraw(const Course& course, int index, double pace);

} // namespace keyfall::teach
