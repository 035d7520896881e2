#include "teach/Training.h"

#include "teach/Utf8.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace keyfall::teach {
namespace {

struct Named {
    Training kind;
    const char* stored;
    const char* shown;
    int keySet;
};

constexpr std::array<Named, 8> kNames{{
    {Training::Specified, "specificati", "i tasti delle opzioni avanzate", -1},
    {Training::Accented, "accentate", "lettere accentate", KeySetAccented},
    {Training::HomeRow, "riga-centrale", "riga centrale", KeySetHomeRow},
    {Training::TopRow, "riga-superiore", "riga superiore", KeySetTopRow},
    {Training::BottomRow, "riga-inferiore", "riga inferiore", KeySetBottomRow},
    {Training::Own, "propri", "caratteri scelti", KeySetOwn},
    {Training::Stage, "percorso", "percorso", KeySetStage},
    {Training::WeakKeys, "tasti-deboli", "tasti deboli", KeySetWeakKeys},
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
    case Training::Specified:
    case Training::WeakKeys: return set;
    case Training::Stage: {
        const Course course(keymap);
        if (choice.stage < 0 || choice.stage >= course.Count()) {
            set.problem = "Questa tappa del percorso non c'è per questa tastiera.";
            return set;
        }
        set.characters = course.CharactersUpTo(choice.stage);
        return set;
    }
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

WeightedDraw::WeightedDraw(Options options) : m_options(std::move(options))
{
    const auto& characters = m_options.characters;
    if (characters.empty() || characters.size() > 1000)
        throw std::invalid_argument("a weighted draw has 1 to 1000 characters");
    if (m_options.weights.size() != characters.size()
        || std::any_of(m_options.weights.begin(), m_options.weights.end(),
                       [](double w) { return !std::isfinite(w) || w <= 0; }))
        throw std::invalid_argument("a weighted draw has one weight above 0 for each character");
    if (m_options.focus < -1 || m_options.focus >= static_cast<int>(characters.size()))
        throw std::invalid_argument("the focus character is one of the characters");
    m_options.focusShare = std::clamp(m_options.focusShare, 0.0, 1.0);
    m_options.pace = std::clamp(m_options.pace, 0.0, 1.0);
    for (char32_t c : characters)
        m_characters.push_back(Utf8(c));
}

const std::string& WeightedDraw::Focus() const
{
    static const std::string kNone;
    return m_options.focus < 0 ? kNone : m_characters[static_cast<std::size_t>(m_options.focus)];
}

void WeightedDraw::WaveStarts(int letters)
{
    m_letters = letters;
    m_drawn = 0;
    m_allSame = true;
}

std::size_t WeightedDraw::Pick(Random& random, std::size_t excluded) const
{
    const std::size_t count = m_characters.size();
    double r = random.NextSingle();
    const auto focus = static_cast<std::size_t>(m_options.focus);
    const bool withFocus = m_options.focus >= 0 && focus != excluded;
    if (withFocus) {
        if (count == 1 || r < m_options.focusShare)
            return focus;
        r = (r - m_options.focusShare) / (1.0 - m_options.focusShare);
    }
    const auto counted = [&](std::size_t i) { return i != excluded && !(withFocus && i == focus); };
    double total = 0;
    for (std::size_t i = 0; i < count; ++i)
        total += counted(i) ? m_options.weights[i] : 0.0;
    double left = r * total;
    std::size_t last = count;
    for (std::size_t i = 0; i < count; ++i) {
        if (!counted(i))
            continue;
        last = i;
        left -= m_options.weights[i];
        if (left < 0)
            return i;
    }
    // Rounding may leave a sliver past the last weight: it belongs to the last character.
    return last == count ? focus : last;
}

std::string WeightedDraw::Draw(Random& random, int)
{
    const bool lastOfWave = m_letters >= 2 && m_drawn == m_letters - 1;
    const std::size_t excluded = lastOfWave && m_allSame && m_characters.size() >= 2 ? m_first : m_characters.size();
    const std::size_t picked = Pick(random, excluded);
    if (m_drawn == 0)
        m_first = picked;
    else if (picked != m_first)
        m_allSame = false;
    ++m_drawn;
    return m_characters[picked];
}

std::pair<std::int16_t, std::int16_t> WeightedDraw::FallRange(std::int16_t low, std::int16_t high) const
{
    if (high <= low)
        return {low, high};
    // A beginner's letters keep to the slow quarter of the range; the fast end opens with pace.
    const double share = 0.25 + 0.75 * m_options.pace;
    const auto top = static_cast<std::int16_t>(std::lround(low + share * (high - low)));
    return {low, std::clamp(top, low, high)};
}

WeightedDraw::Options StageDraw(const Course& course, int index, double pace)
{
    if (course.Count() == 0)
        throw std::invalid_argument("a course without stages has nothing to draw");
    WeightedDraw::Options options;
    index = std::clamp(index, 0, course.Count() - 1);
    options.characters = course.CharactersUpTo(index);
    const std::size_t fresh = course.Stages()[static_cast<std::size_t>(index)].keys.size();
    const std::size_t earlier = options.characters.size() - fresh;
    // The new keys together as often as the earlier ones together.
    const double freshWeight = earlier == 0 ? 1.0 : static_cast<double>(earlier) / static_cast<double>(fresh);
    options.weights.assign(earlier, 1.0);
    options.weights.resize(options.characters.size(), freshWeight);
    options.keySet = KeySetStage + index;
    options.pace = pace;
    return options;
}

} // namespace keyfall::teach
