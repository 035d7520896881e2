#include "ui/CommandLine.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QLocale>

namespace keyfall {
namespace {

constexpr double kMinFactor = 0.25;
constexpr double kMaxFactor = 8.0;

// Qt's own options, which QApplication takes from the same command line afterwards; they are
// accepted here so as not to be refused as unknown, and left out of the help.
const char* const kQtValueOptions[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                       "display",  "qwindowgeometry",    "qwindowtitle",  "qwindowicon",
                                       "style",    "stylesheet"};
const char* const kQtFlagOptions[] = {"reverse", "nograb", "dograb"};

std::optional<SceneScale> ParseScale(const QString& value)
{
    if (value == QLatin1String("fit"))
        return SceneScale{ScaleMode::Fit, 1.0};
    bool ok = false;
    const double factor = QLocale::c().toDouble(value, &ok);
    if (!ok || !(factor >= kMinFactor && factor <= kMaxFactor))
        return std::nullopt;
    return SceneScale{ScaleMode::Factor, factor};
}

ParsedCommandLine Refuse(const QString& program, const QString& problem)
{
    ParsedCommandLine result;
    result.ExitCode = 2;
    result.Error = QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n").arg(program, problem);
    return result;
}

} // namespace

ParsedCommandLine ParseCommandLine(const QStringList& arguments)
{
    const QString program = arguments.isEmpty() ? QStringLiteral("keyfall") : QFileInfo(arguments.first()).fileName();

    QCommandLineParser parser;
    // "-ns" is one option, as players of other typing games type it, not -n and -s.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Keyboard-training game: type the falling characters before they reach the ground."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version and exit."));
    const QCommandLineOption window(QStringLiteral("window"),
                                    QStringLiteral("Play in a window of 800 x 600 instead of full screen."));
    const QCommandLineOption noSound({QStringLiteral("no-sound"), QStringLiteral("ns")},
                                     QStringLiteral("Play without sound."));
    const QCommandLineOption scale(
        QStringLiteral("scale"),
        QStringLiteral("Scale the game: 'fit' makes it as large as the screen allows, a number from 0.25 to 8 "
                       "sets the factor. Without it the game keeps its own size, smaller only where the screen "
                       "is too small."),
        QStringLiteral("fit|N"));
    const QCommandLineOption player(
        QStringLiteral("player"), QStringLiteral("Record and show the games of NAME (default: the login name)."),
        QStringLiteral("NAME"));
    const QCommandLineOption stats(QStringLiteral("stats"),
                                   QStringLiteral("Open the statistics window instead of the game."));
    const QCommandLineOption exportCsv(
        QStringLiteral("export-csv"),
        QStringLiteral("Write the player's games to FILE as CSV (- for standard output) and exit."),
        QStringLiteral("FILE"));
    parser.addOptions({help, version, window, noSound, scale, player, stats, exportCsv});
    for (const char* name : kQtValueOptions) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : kQtFlagOptions) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return Refuse(program, QStringLiteral("unknown option '%1'").arg(unknown.first()));
        return Refuse(program, parser.errorText());
    }

    ParsedCommandLine result;
    if (parser.isSet(help)) {
        result.ExitCode = 0;
        // Qt names the program by the running application, which does not exist yet.
        QString text = parser.helpText();
        const QString usage = QStringLiteral("Usage: ");
        const qsizetype end = text.indexOf(QLatin1Char(' '), usage.size());
        if (text.startsWith(usage) && end > 0)
            text.replace(usage.size(), end - usage.size(), program);
        result.Output = text;
        return result;
    }
    if (parser.isSet(version)) {
        result.ExitCode = 0;
        result.Output = QStringLiteral("Keyfall %1\n").arg(QStringLiteral(KEYFALL_VERSION));
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return Refuse(program, QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    if (parser.isSet(scale)) {
        const auto chosen = ParseScale(parser.value(scale));
        if (!chosen)
            return Refuse(
                program,
                QStringLiteral("--scale takes 'fit' or a factor from 0.25 to 8, not '%1'").arg(parser.value(scale)));
        result.Options.Display.Scale = *chosen;
    }
    result.Options.Display.Windowed = parser.isSet(window);
    result.Options.Sound = !parser.isSet(noSound);
    result.Options.Player = parser.value(player).trimmed();
    result.Options.Stats = parser.isSet(stats);
    result.Options.ExportCsv = parser.value(exportCsv);
    return result;
}

} // namespace keyfall
