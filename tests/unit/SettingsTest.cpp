#include "settings/Settings.h"
#include "settings/MemoryStore.h"

#include <gtest/gtest.h>

namespace keyfall {
namespace {

const Settings kDefaults{5, 10, 15, 30, 35, 50, 8, {true, false, false, false, false}};

void Store(MemoryStore& store, const char* section, const char* name, const char* text)
{
    store.Set(section, name, text);
    ASSERT_TRUE(store.Sync());
}

TEST(LoadSettings, EmptyStoreGivesDefaultsAndWritesNothing)
{
    MemoryStore store;
    Settings settings;
    LoadSettings(settings, store);
    EXPECT_EQ(settings, kDefaults);
    EXPECT_EQ(store.Writes(), 0);
    EXPECT_TRUE(store.Stored().empty());
}

TEST(LoadSettings, KeySetNamesAreCrossedForDigitsAndLetters)
{
    MemoryStore store;
    Store(store, "Selezione", "Maiu", "False");
    Store(store, "Selezione", "Nume", "True");
    Settings settings;
    LoadSettings(settings, store);
    EXPECT_EQ(settings.KeySet, (std::array<bool, 5>{false, false, false, true, false}));

    Store(store, "Selezione", "Nume", "False");
    Store(store, "Selezione", "MaiuMinu", "True");
    LoadSettings(settings, store);
    EXPECT_EQ(settings.KeySet, (std::array<bool, 5>{false, false, true, false, false}));

    Store(store, "Selezione", "MaiuMinu", "False");
    Store(store, "Selezione", "MaiuMinuNume", "True");
    LoadSettings(settings, store);
    EXPECT_EQ(settings.KeySet, (std::array<bool, 5>{false, false, false, false, true}));
}

TEST(LoadSettings, MissingUpperWithLowerTrueGivesBoth)
{
    MemoryStore store;
    Store(store, "Selezione", "Minu", "True");
    Settings settings;
    LoadSettings(settings, store);
    EXPECT_TRUE(settings.KeySet[0]);
    EXPECT_TRUE(settings.KeySet[1]);
}

TEST(LoadSettings, UnreadableNumbersFallBackToTheirDefault)
{
    struct Case {
        const char* text;
        std::int16_t expected;
    };
    const Case cases[] = {
        {"garbage", 5},   {"", 5},        {"1e9", 5},   {"70000", 5}, {"2.5", 2}, {"3.5", 4}, {"-2.5", -2},
        {" 7 ", 7},       {"+9", 9},      {"1e2", 100}, {"0x10", 5},  {"nan", 5}, {"inf", 5}, {"-32768", -32768},
        {"32767", 32767}, {"32767.5", 5}, {"12abc", 5}, {"--3", 5},
    };
    for (const Case& c : cases) {
        MemoryStore store;
        Store(store, "FallRates", "EasyLow", c.text);
        Settings settings;
        LoadSettings(settings, store);
        EXPECT_EQ(settings.EasyLow, c.expected) << "stored text \"" << c.text << "\"";
        EXPECT_EQ(settings.EasyHigh, 10) << "a bad value leaves the others alone";
    }
}

TEST(LoadSettings, BooleansInAnyCaseOrAsNumbers)
{
    struct Case {
        const char* text;
        bool expected;
    };
    // "Minu" defaults to false, so every true below comes from the text itself.
    const Case cases[] = {{"TRUE", true}, {"tRuE", true},   {"-1", true},   {"2", true}, {"0.5", true},
                          {"0", false},   {"FALSE", false}, {"yes", false}, {"", false}};
    for (const Case& c : cases) {
        MemoryStore store;
        Store(store, "Selezione", "Minu", c.text);
        Settings settings;
        LoadSettings(settings, store);
        EXPECT_EQ(settings.KeySet[1], c.expected) << c.text;
    }
    MemoryStore store;
    Store(store, "Selezione", "Maiu", "yes");
    Settings settings;
    LoadSettings(settings, store);
    EXPECT_TRUE(settings.KeySet[0]) << "an unreadable boolean takes its default, true for Maiu";
}

TEST(SaveSettings, WritesEveryValueAsTextUnderItsSectionAndName)
{
    MemoryStore store;
    Settings settings{7, 11, 16, 31, 36, 51, 12, {false, false, true, false, false}};
    ASSERT_TRUE(SaveSettings(settings, store));
    const auto& stored = store.Stored();
    EXPECT_EQ(stored.size(), 12u);
    EXPECT_EQ(stored.at({"FallRates", "EasyLow"}), "7");
    EXPECT_EQ(stored.at({"FallRates", "HardHigh"}), "51");
    EXPECT_EQ(stored.at({"Rounds", "Max"}), "12");
    EXPECT_EQ(stored.at({"Selezione", "Maiu"}), "False");
    EXPECT_EQ(stored.at({"Selezione", "MaiuMinu"}), "True");
    EXPECT_EQ(stored.at({"Selezione", "Nume"}), "False");

    Settings loaded;
    LoadSettings(loaded, store);
    EXPECT_EQ(loaded, settings);
}

TEST(SaveSettings, RoundTripsExtremeValues)
{
    MemoryStore store;
    Settings settings{-32768, 32767, 0, -1, 500, 1, 20, {false, false, false, false, true}};
    ASSERT_TRUE(SaveSettings(settings, store));
    Settings loaded;
    LoadSettings(loaded, store);
    EXPECT_EQ(loaded, settings);
}

TEST(SaveSettings, FailedWriteKeepsTheStoredValues)
{
    MemoryStore store;
    Settings first = kDefaults;
    first.MaxRounds = 3;
    ASSERT_TRUE(SaveSettings(first, store));
    store.SetWritable(false);
    Settings second = kDefaults;
    second.MaxRounds = 15;
    EXPECT_FALSE(SaveSettings(second, store));
    EXPECT_EQ(store.Stored().at({"Rounds", "Max"}), "3");
}

} // namespace
} // namespace keyfall
