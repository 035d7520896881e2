#include "teach/Training.h"

#include "teach/Utf8.h"

#include <array>
#include <stdexcept>

namespace keyfall::teach {
namespace {

struct Named {
    Training kind;
    const char* stored;
    const char* shown;
    int keySet;
};

constexpr std::array<Named, 6> kNames{{
    {Training::Specified, "specificati", "i tasti delle opzioni avanzate", -1},
    {Training::Accented, "accentate", "lettere accentate", KeySetAccented},
    {Training::HomeRow, "riga-centrale", "riga centrale", KeySetHomeRow},
    {Training::TopRow, "riga-superiore", "riga superiore", KeySetTopRow},
    {Training::BottomRow, "riga-inferiore", "riga inferiore", KeySetBottomRow},
    {Training::Own, "propri", "caratteri scelti", KeySetOwn},
}};

const Named& Find(Training kind)
{
    for (const Named& named : kNames) {
        if (named.kind == kind)
            return named;
    }
    return kNames[0];
}

} // namespace

std::string StoredName(Training kind)
{
    return Find(kind).stored;
}

std::optional<Training> TrainingNamed(std::string_view stored)
{
    for (const Named& named : kNames) {
        if (stored == named.stored)
            return named.kind;
    }
    return std::nullopt;
}

std::string DisplayName(Training kind)
{
    return Find(kind).shown;
}

int KeySetOf(Training kind)
{
    return Find(kind).keySet;
}

TrainingSet CharactersOf(const TrainingChoice& choice, const Keymap& keymap)
{
    TrainingSet set;
    switch (choice.kind) {
    case Training::Specified: return set;
    case Training::Accented: {
        const SetCheck check = CheckOwnSet(keymap, Utf8(kItalianAccented));
        if (!check.refused.empty()) {
            set.problem = "Le lettere accentate non si possono scrivere tutte con questa tastiera: " + check.message;
            return set;
        }
        set.characters = check.characters;
        return set;
    }
    case Training::HomeRow: set.characters = RowCharacters(keymap, Row::Home); break;
    case Training::TopRow: set.characters = RowCharacters(keymap, Row::Top); break;
    case Training::BottomRow: set.characters = RowCharacters(keymap, Row::Bottom); break;
    case Training::Own: {
        const SetCheck check = CheckOwnSet(keymap, choice.own);
        if (!check.refused.empty()) {
            set.problem = check.message;
            return set;
        }
        set.characters = check.characters;
        if (set.characters.empty())
            set.problem = "Scrivi almeno un carattere da allenare.";
        return set;
    }
    }
    if (set.characters.empty())
        set.problem = "Questa riga della tastiera non scrive nessun carattere.";
    return set;
}

UniformDraw::UniformDraw(const std::u32string& characters, int keySet) : m_keySet(keySet)
{
    if (characters.empty() || characters.size() > 1000)
        throw std::invalid_argument("a training set has 1 to 1000 characters");
    for (char32_t c : characters)
        m_characters.push_back(Utf8(c));
}

std::string UniformDraw::Draw(Random& random, int)
{
    const auto last = static_cast<std::int16_t>(m_characters.size() - 1);
    return m_characters[static_cast<std::size_t>(random.RandomBetween(0, last))];
}

} // namespace keyfall::teach
