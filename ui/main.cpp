// Keyfall: falling characters to type, on a night landscape.

#include "records/RecordStore.h"
#include "settings/Random.h"
#include "settings/Settings.h"
#include "ui/Fonts.h"
#include "ui/GameWindow.h"
#include "ui/QtSettingsStore.h"
#include "ui/Records.h"
#include "ui/SoundPlayer.h"
#include "ui/StatsWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSaveFile>
#include <QStyleFactory>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>

namespace {

// ---- The records' options: whose games, the statistics window, an export for a teacher.

struct RecordOptions {
    QString player;
    bool stats = false;
    QString csv; // "-" for standard output
};

void AddRecordOptions(QCommandLineParser& parser)
{
    parser.addOption({QStringLiteral("player"),
                      QStringLiteral("Records and shows the games of NAME (default: the login name)."),
                      QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("stats"), QStringLiteral("Opens the statistics window instead of the game.")});
    parser.addOption({QStringLiteral("export-csv"),
                      QStringLiteral("Writes the player's games to FILE as CSV (- for standard output) and exits."),
                      QStringLiteral("FILE")});
}

RecordOptions ReadRecordOptions(const QCommandLineParser& parser)
{
    RecordOptions options;
    options.player = parser.value(QStringLiteral("player")).trimmed();
    if (options.player.isEmpty())
        options.player = keyfall::DefaultPlayer();
    options.stats = parser.isSet(QStringLiteral("stats"));
    options.csv = parser.value(QStringLiteral("export-csv"));
    return options;
}

// Needs no display: a teacher may run it over ssh.
int ExportCsv(const QString& path, const RecordOptions& options)
{
    keyfall::records::RecordStore::Options storeOptions;
    storeOptions.check = false;
    keyfall::records::RecordStore store(path.toStdString(), storeOptions);
    std::ostringstream csv;
    if (!store.ExportCsv(options.player.toStdString(), csv)) {
        std::fprintf(stderr, "keyfall: cannot read the records: %s\n", store.Problem().c_str());
        return 1;
    }
    if (options.csv == QStringLiteral("-")) {
        std::cout << csv.str() << std::flush;
        return std::cout ? 0 : 1;
    }
    QSaveFile out(options.csv);
    const std::string text = csv.str();
    if (!out.open(QIODevice::WriteOnly) || out.write(text.data(), static_cast<qint64>(text.size())) < 0
        || !out.commit()) {
        std::fprintf(stderr, "keyfall: cannot write %s: %s\n", qPrintable(options.csv), qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCommandLineParser parser;
    parser.addHelpOption();
    AddRecordOptions(parser);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // The export runs before any window system is touched; everything else, --help included,
    // is handled once the application exists.
    if (parser.parse(arguments) && parser.isSet(QStringLiteral("export-csv"))) {
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Keyfall"));
        return ExportCsv(keyfall::RecordsPath(), ReadRecordOptions(parser));
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Keyfall"));
    QApplication::setOrganizationName(QStringLiteral("Keyfall"));
    // Wayland compositors find the launcher, and with it the icon, by this id.
    QApplication::setDesktopFileName(QStringLiteral("org.keyfall.Keyfall"));
    // One style everywhere, so that the silver buttons and the black panel look the same
    // on every desktop.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    keyfall::InstallFontSubstitutes();
    parser.process(app);
    const RecordOptions recordOptions = ReadRecordOptions(parser);
    const QString recordsPath = keyfall::RecordsPath();

    if (recordOptions.stats) {
        keyfall::StatsWindow stats(recordsPath, recordOptions.player);
        stats.show();
        return QApplication::exec();
    }

    const auto clock = [] {
        return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    };
    keyfall::Random random(static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()),
                           clock);
    keyfall::Settings settings;
    keyfall::QtSettingsStore store;
    keyfall::SoundPlayer cues(keyfall::SoundPlayer::DefaultDirectories());

    keyfall::GameWindow window(settings, store, random, cues);
    keyfall::GameRecords records(recordsPath, recordOptions.player);
    window.form().SetEvents(records.recorder());
    QObject::connect(&records, &keyfall::GameRecords::NewRecord, &window, &keyfall::GameWindow::GreetRecord);
    window.SetStatsOpener([&window, &recordsPath, &recordOptions] {
        keyfall::StatsWindow stats(recordsPath, recordOptions.player, &window);
        stats.exec();
    });
    window.showFullScreen();
    return QApplication::exec();
}
