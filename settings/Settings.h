#pragma once
// The twelve shared settings, their store and the conversions between the two.
// Plain C++: the Qt file lives in ui/, tests use MemoryStore.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace keyfall {

// The fall speeds the options window can store, in twips per tick of the letter timer.
inline constexpr std::int16_t kLowestSpeed = 1;
inline constexpr std::int16_t kHighestSpeed = 500;

// Index of each KeySet element: which characters fall.
enum KeySetIndex : int { KeyUpper = 0, KeyLower = 1, KeyDigits = 2, KeyLetters = 3, KeyAll = 4 };

struct Settings {
    std::int16_t EasyLow = 0;
    std::int16_t EasyHigh = 0;
    std::int16_t MedLow = 0;
    std::int16_t MedHigh = 0;
    std::int16_t HardLow = 0;
    std::int16_t HardHigh = 0;
    std::int16_t MaxRounds = 0;
    std::array<bool, 5> KeySet{};

    bool operator==(const Settings&) const = default;
};

// A per-user store of text values addressed by section and value name.
// Writes may be buffered until Sync(), so that a save lands as a whole or not at all.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or `fallback` when the value or its section does not exist.
    virtual std::string Get(std::string_view section, std::string_view name, std::string_view fallback) const = 0;
    // Creates or replaces a value (possibly only in memory until Sync()).
    virtual void Set(std::string_view section, std::string_view name, std::string_view text) = 0;
    // Makes every Set() since the last Sync() durable. False when the store could not be
    // written; the previously stored values are then left as they were.
    virtual bool Sync() = 0;
};

// Reads all twelve values (defaults for absent or unreadable ones) and never writes.
void LoadSettings(Settings& settings, const SettingsStore& store);

// Writes all twelve values and syncs once. False when the store could not be written.
bool SaveSettings(const Settings& settings, SettingsStore& store);

// Conversions of stored texts. Both return nothing for a text that is not of their kind.
// Numbers: optional sign, decimal digits, optional fraction or exponent, surrounding blanks
// allowed; rounded half to even; must fit in a signed 16-bit integer after rounding.
std::optional<std::int16_t> ParseNumber(std::string_view text);
// Booleans: "True"/"False" in any letter case, or a number (0 false, anything else true).
std::optional<bool> ParseBoolean(std::string_view text);

std::string EncodeNumber(std::int16_t value);
std::string EncodeBoolean(bool value);

} // namespace keyfall
