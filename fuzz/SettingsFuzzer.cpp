// libFuzzer target: arbitrary bytes as the settings file, read through the real store.
// Whatever the file holds, loading must not crash or hang, and every setting must be what
// its row's text gives: the parsed number or boolean when the text is one, the row's
// default otherwise.

#include "fuzz/FuzzHome.h"
#include "settings/Settings.h"
#include "ui/QtSettingsStore.h"

#include <array>
#include <cstdint>
#include <string>

namespace {

struct Row {
    const char* section;
    const char* name;
    const char* fallback;
};

constexpr std::array<Row, 12> kRows{{
    {"FallRates", "EasyLow", "5"},
    {"FallRates", "EasyHigh", "10"},
    {"FallRates", "MedLow", "15"},
    {"FallRates", "MedHigh", "30"},
    {"FallRates", "HardLow", "35"},
    {"FallRates", "HardHigh", "50"},
    {"Rounds", "Max", "8"},
    {"Selezione", "Maiu", "True"},
    {"Selezione", "Minu", "False"},
    {"Selezione", "MaiuMinu", "False"},
    {"Selezione", "Nume", "False"},
    {"Selezione", "MaiuMinuNume", "False"},
}};

keyfall::fuzz::FuzzHome* g_home = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static keyfall::fuzz::FuzzHome home;
    g_home = &home;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    g_home->Write(data, size);
    const keyfall::QtSettingsStore store;
    keyfall::Settings loaded;
    keyfall::LoadSettings(loaded, store);

    const std::array<std::int16_t, 7> numbers{loaded.EasyLow, loaded.EasyHigh, loaded.MedLow,   loaded.MedHigh,
                                              loaded.HardLow, loaded.HardHigh, loaded.MaxRounds};
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        const Row& row = kRows[i];
        const std::string text = store.Get(row.section, row.name, row.fallback);
        if (i < numbers.size()) {
            const auto parsed = keyfall::ParseNumber(text);
            keyfall::fuzz::Check(numbers[i] == parsed.value_or(*keyfall::ParseNumber(row.fallback)));
            if (parsed)
                keyfall::fuzz::Check(keyfall::ParseNumber(keyfall::EncodeNumber(*parsed)) == parsed);
        } else {
            const auto parsed = keyfall::ParseBoolean(text);
            keyfall::fuzz::Check(loaded.KeySet[i - numbers.size()]
                                 == parsed.value_or(*keyfall::ParseBoolean(row.fallback)));
        }
    }
    return 0;
}
