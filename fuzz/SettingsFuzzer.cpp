// libFuzzer target: arbitrary bytes as the settings file, read through the real store.
// Whatever the file holds, loading must not crash or hang, and every setting must be what
// its row's text gives: the parsed number or boolean when the text is one, the row's
// default otherwise.

#include "settings/Settings.h"
#include "ui/QtSettingsStore.h"

#include <QtGlobal>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>

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

// The temporary settings folder of this run, removed at exit.
struct Home {
    std::filesystem::path root;
    std::filesystem::path file;
    ~Home()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
};
Home* g_home = nullptr;

void Check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The file is rewritten for every input: memory is much faster than a disk for that.
    const std::filesystem::path shm("/dev/shm");
    const std::filesystem::path temp =
        std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
    std::string pattern = (temp / "keyfall-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        std::abort();
    static Home home{pattern, std::filesystem::path(pattern) / "Keyfall" / "Keyfall.ini"};
    g_home = &home;
    std::filesystem::create_directories(home.file.parent_path());
    setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
    // Qt warns about every unknown type in an @Variant(...) value; at thousands of inputs a
    // second that is noise, and slow.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    Check(keyfall::QtSettingsStore::FilePath().toStdString() == home.file.string());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    {
        std::ofstream out(g_home->file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    // QSettings trusts a file it has read before while its size and modification time stay
    // the same; each input gets a time of its own, so each is read afresh.
    static std::int64_t stamp = 1'000'000'000;
    const timespec times[2] = {{++stamp, 0}, {stamp, 0}};
    utimensat(AT_FDCWD, g_home->file.c_str(), times, 0);

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
            Check(numbers[i] == parsed.value_or(*keyfall::ParseNumber(row.fallback)));
            if (parsed)
                Check(keyfall::ParseNumber(keyfall::EncodeNumber(*parsed)) == parsed);
        } else {
            const auto parsed = keyfall::ParseBoolean(text);
            Check(loaded.KeySet[i - numbers.size()] == parsed.value_or(*keyfall::ParseBoolean(row.fallback)));
        }
    }
    return 0;
}
