#include "settings/Settings.h"

#include "settings/Text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace keyfall {
namespace {

enum class Kind { Number, Boolean };

struct Row {
    std::string_view section;
    std::string_view name;
    std::string_view fallback;
    Kind kind;
};

// The stored layout, in the order in which values are read and written. Note the crossed
// names: "MaiuMinu" holds the digits-only choice (element 2) and "Nume" the upper-and-lower
// choice (element 3). Files written by earlier versions rely on it, so it stays.
constexpr std::array<Row, 12> kRows{{
    {"FallRates", "EasyLow", "5", Kind::Number},
    {"FallRates", "EasyHigh", "10", Kind::Number},
    {"FallRates", "MedLow", "15", Kind::Number},
    {"FallRates", "MedHigh", "30", Kind::Number},
    {"FallRates", "HardLow", "35", Kind::Number},
    {"FallRates", "HardHigh", "50", Kind::Number},
    {"Rounds", "Max", "8", Kind::Number},
    {"Selezione", "Maiu", "True", Kind::Boolean},
    {"Selezione", "Minu", "False", Kind::Boolean},
    {"Selezione", "MaiuMinu", "False", Kind::Boolean},
    {"Selezione", "Nume", "False", Kind::Boolean},
    {"Selezione", "MaiuMinuNume", "False", Kind::Boolean},
}};

std::array<std::int16_t*, 7> NumberFields(Settings& s)
{
    return {&s.EasyLow, &s.EasyHigh, &s.MedLow, &s.MedHigh, &s.HardLow, &s.HardHigh, &s.MaxRounds};
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// A decimal number as a double; nothing for anything else (hex, "inf", "nan", trailing junk).
std::optional<double> ParseDecimal(std::string_view text)
{
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty()
        || !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '-' || text.front() == '.'))
        return std::nullopt;
    double value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<std::int16_t> ParseNumber(std::string_view text)
{
    const auto value = ParseDecimal(text);
    if (!value)
        return std::nullopt;
    // The default floating-point environment rounds to nearest, ties to even.
    const double rounded = std::nearbyint(*value);
    if (rounded < -32768.0 || rounded > 32767.0)
        return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

std::optional<bool> ParseBoolean(std::string_view text)
{
    const auto trimmed = TrimBlanks(text);
    if (EqualsIgnoringCase(trimmed, "true"))
        return true;
    if (EqualsIgnoringCase(trimmed, "false"))
        return false;
    if (const auto value = ParseDecimal(trimmed))
        return *value != 0.0;
    return std::nullopt;
}

std::string EncodeNumber(std::int16_t value)
{
    return std::to_string(value);
}

std::string EncodeBoolean(bool value)
{
    return value ? "True" : "False";
}

void LoadSettings(Settings& settings, const SettingsStore& store)
{
    const auto numbers = NumberFields(settings);
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        const Row& row = kRows[i];
        const std::string text = store.Get(row.section, row.name, row.fallback);
        // A text that is not of its row's kind (edited by hand, damaged) gives the default,
        // which always parses.
        if (row.kind == Kind::Number) {
            *numbers[i] = ParseNumber(text).value_or(*ParseNumber(row.fallback));
        } else {
            settings.KeySet[i - numbers.size()] = ParseBoolean(text).value_or(*ParseBoolean(row.fallback));
        }
    }
}

bool SaveSettings(const Settings& settings, SettingsStore& store)
{
    Settings copy = settings;
    const auto numbers = NumberFields(copy);
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        const Row& row = kRows[i];
        const std::string text =
            row.kind == Kind::Number ? EncodeNumber(*numbers[i]) : EncodeBoolean(settings.KeySet[i - numbers.size()]);
        store.Set(row.section, row.name, text);
    }
    return store.Sync();
}

} // namespace keyfall
