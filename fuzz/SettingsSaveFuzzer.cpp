// libFuzzer target: arbitrary bytes as the settings file, then a save of new values through
// the real store, as the options window's apply button does it. The save must report
// success (the file is a regular file in a writable folder), the values read back must be
// the values saved, every other entry that could be read before must read the same after,
// and saving the same values again must leave the file byte for byte as it was.
// The input's last bytes choose the values; the rest is the file.

#include "fuzz/FuzzHome.h"
#include "settings/IniDocument.h"
#include "settings/Settings.h"
#include "ui/QtSettingsStore.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

keyfall::fuzz::FuzzHome* g_home = nullptr;

bool IsOurs(std::string_view group, std::string_view name)
{
    static constexpr std::array<std::array<std::string_view, 2>, 12> kOurs{{
        {"FallRates", "EasyLow"},
        {"FallRates", "EasyHigh"},
        {"FallRates", "MedLow"},
        {"FallRates", "MedHigh"},
        {"FallRates", "HardLow"},
        {"FallRates", "HardHigh"},
        {"Rounds", "Max"},
        {"Selezione", "Maiu"},
        {"Selezione", "Minu"},
        {"Selezione", "MaiuMinu"},
        {"Selezione", "Nume"},
        {"Selezione", "MaiuMinuNume"},
    }};
    for (const auto& [ourGroup, ourName] : kOurs) {
        if (ourGroup == group && ourName == name)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static keyfall::fuzz::FuzzHome home;
    g_home = &home;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using keyfall::fuzz::Check;
    FuzzedDataProvider input(data, size);
    keyfall::Settings wanted;
    for (std::int16_t* value : {&wanted.EasyLow, &wanted.EasyHigh, &wanted.MedLow, &wanted.MedHigh, &wanted.HardLow,
                                &wanted.HardHigh, &wanted.MaxRounds})
        *value = input.ConsumeIntegral<std::int16_t>();
    for (bool& key : wanted.KeySet)
        key = input.ConsumeBool();
    const std::string file = input.ConsumeRemainingBytesAsString();
    g_home->Write(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
    const keyfall::IniDocument before = keyfall::IniDocument::Parse(file);

    {
        keyfall::QtSettingsStore store;
        keyfall::Settings loaded;
        keyfall::LoadSettings(loaded, store);
        Check(keyfall::SaveSettings(wanted, store));
    }
    keyfall::Settings reread;
    keyfall::LoadSettings(reread, keyfall::QtSettingsStore{});
    Check(reread == wanted);

    const std::string saved = g_home->Read();
    const keyfall::IniDocument after = keyfall::IniDocument::Parse(saved);
    for (const keyfall::IniDocument::Group& group : before.Groups()) {
        for (const keyfall::IniDocument::Entry& entry : group.entries) {
            if (!IsOurs(group.name, entry.name))
                Check(after.Value(group.name, entry.name) == before.Value(group.name, entry.name));
        }
    }

    keyfall::QtSettingsStore again;
    Check(keyfall::SaveSettings(wanted, again));
    Check(g_home->Read() == saved);
    return 0;
}
