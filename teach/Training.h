#pragma once
// What the player chose to practise in the training window, how it is kept in the settings
// file (group [Allenamento]), and the character source that makes the game launch it.

#include "game/CharacterSource.h"
#include "teach/CharacterSets.h"
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
};

struct TrainingChoice {
    Training kind = Training::Specified;
    std::string own; // the player's own characters (UTF-8), kept even while another set is chosen
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
// the keyboard cannot type it (an Italian sentence); Specified has no characters of its own.
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

} // namespace keyfall::teach
