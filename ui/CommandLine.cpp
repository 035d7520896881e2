#include "ui/CommandLine.h"

#include "teach/Keymap.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTextBoundaryFinder>

#include <algorithm>

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
    result.Error = QStringLiteral("%1: %2 (see '%1 --help')\n").arg(program, problem);
    return result;
}

bool IsControl(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph: return true;
    default: return false;
    }
}

int VisibleLength(const QString& text)
{
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (graphemes.toNextBoundary() > 0)
        ++count;
    return count;
}

} // namespace

QString NormalisedPlayerName(const QString& name)
{
    return name.normalized(QString::NormalizationForm_C).trimmed();
}

std::optional<QString> PlayerName(const QString& name)
{
    const QString normal = NormalisedPlayerName(name);
    if (normal.isEmpty() || VisibleLength(normal) > kMaxPlayerName)
        return std::nullopt;
    const QList<uint> characters = normal.toUcs4();
    if (std::any_of(characters.begin(), characters.end(), [](uint c) { return IsControl(c); }))
        return std::nullopt;
    return normal;
}

ParsedCommandLine ParseCommandLine(const QStringList& arguments)
{
    const QString program = arguments.isEmpty() ? QStringLiteral("keyfall") : QFileInfo(arguments.first()).fileName();

    QCommandLineParser parser;
    // "-ns" is one option, not -n and -s.
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
    const QCommandLineOption player(QStringLiteral("player"),
                                    QStringLiteral("Record and show the games of NAME (default: the login name)."),
                                    QStringLiteral("NAME"));
    const QCommandLineOption stats(QStringLiteral("stats"),
                                   QStringLiteral("Open the statistics window instead of the game."));
    const QCommandLineOption exportCsv(
        QStringLiteral("export-csv"),
        QStringLiteral("Write the player's games to FILE as CSV (- for standard output) and exit."),
        QStringLiteral("FILE"));
    const QCommandLineOption exportKeysCsv(
        QStringLiteral("export-keys-csv"),
        QStringLiteral("Write every player's accuracy, speed and confidence on each key to FILE as CSV (- for "
                       "standard output) and exit."),
        QStringLiteral("FILE"));
    const QCommandLineOption keyboard(QStringLiteral("keyboard"),
                                      QStringLiteral("Show the keyboard below the game, its keys in the colours of "
                                                     "the fingers that type them (F3 shows and hides it)."));
    const QCommandLineOption layout(
        QStringLiteral("layout"),
        QStringLiteral("Show and teach the keyboard layout NAME (an XKB name: it, us, de(nodeadkeys)...) instead of "
                       "the desktop's."),
        QStringLiteral("NAME"));
    const QCommandLineOption train(QStringLiteral("train"),
                                   QStringLiteral("Open the training window first, to choose what falls (F4 opens "
                                                  "it between games)."));
    parser.addOptions(
        {help, version, window, noSound, scale, player, stats, exportCsv, exportKeysCsv, keyboard, layout, train});
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

    // Qt writes every long name with two dashes, but this one is typed with one.
    const auto showNoSoundAsTyped = [](QString text) {
        return text.replace(QStringLiteral("--no-sound, --ns"), QStringLiteral("--no-sound, -ns"));
    };

    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return Refuse(program, QStringLiteral("unknown option '%1'").arg(unknown.first()));
        return Refuse(program, parser.errorText());
    }

    // Checked before --help and --version, which would otherwise end well on a command line
    // the player mistyped.
    if (!parser.positionalArguments().isEmpty())
        return Refuse(program, QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    ParsedCommandLine result;
    if (parser.isSet(help)) {
        result.ExitCode = 0;
        // Qt names the program by the running application, which does not exist yet.
        QString text = parser.helpText();
        const QString usage = QStringLiteral("Usage: ");
        const qsizetype end = text.indexOf(QLatin1Char(' '), usage.size());
        if (text.startsWith(usage) && end > 0)
            text.replace(usage.size(), end - usage.size(), program);
        result.Output = showNoSoundAsTyped(text);
        return result;
    }
    if (parser.isSet(version)) {
        result.ExitCode = 0;
        result.Output = QStringLiteral("Keyfall %1\n").arg(QStringLiteral(KEYFALL_VERSION));
        return result;
    }
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
    if (parser.isSet(player)) {
        const auto name = PlayerName(parser.value(player));
        if (!name)
            // The name itself is not echoed: it may hold what a terminal takes as commands.
            return Refuse(program,
                          QStringLiteral("--player takes a name of 1 to %1 characters without control characters")
                              .arg(kMaxPlayerName));
        result.Options.Player = *name;
    }
    result.Options.Stats = parser.isSet(stats);
    if (parser.isSet(exportCsv) && parser.value(exportCsv).isEmpty())
        return Refuse(program, QStringLiteral("--export-csv takes a file name, or '-' for standard output"));
    result.Options.ExportCsv = parser.value(exportCsv);
    if (parser.isSet(exportKeysCsv) && parser.value(exportKeysCsv).isEmpty())
        return Refuse(program, QStringLiteral("--export-keys-csv takes a file name, or '-' for standard output"));
    if (parser.isSet(exportKeysCsv) && parser.isSet(exportCsv))
        return Refuse(program, QStringLiteral("--export-csv and --export-keys-csv go one at a time"));
    result.Options.ExportKeysCsv = parser.value(exportKeysCsv);
    result.Options.Keyboard = parser.isSet(keyboard);
    result.Options.Train = parser.isSet(train);
    if (parser.isSet(layout)) {
        static const QRegularExpression named(QStringLiteral("^([A-Za-z0-9_-]+)(?:\\(([A-Za-z0-9_-]+)\\))?$"));
        const auto match = named.match(parser.value(layout));
        const teach::KeymapResult keymap =
            match.hasMatch()
                ? teach::KeymapFromNames({}, {}, match.captured(1).toStdString(), match.captured(2).toStdString())
                : teach::KeymapResult{};
        if (!keymap.keymap)
            return Refuse(program, QStringLiteral("--layout takes an XKB keyboard layout such as 'it' or "
                                                  "'de(nodeadkeys)'; '%1' is none")
                                       .arg(match.hasMatch() ? parser.value(layout) : QStringLiteral("this")));
        result.Options.Layout = match.captured(1).toStdString();
        result.Options.LayoutVariant = match.captured(2).toStdString();
    }
    return result;
}

} // namespace keyfall
