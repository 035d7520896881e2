#pragma once
// The program's command line. It is read before any window system is touched, so that
// --help and --version work over SSH with no display at all.

#include "ui/GameWindow.h"

#include <QString>
#include <QStringList>

namespace keyfall {

struct CommandLine {
    Presentation Display;
    bool Sound = true;
    QString Player;        // whose games are recorded and shown, as PlayerName gives it; empty: the login name
    bool Stats = false;    // the statistics window instead of the game
    QString ExportCsv;     // write the player's games as CSV here ("-": standard output) and end
    QString ExportKeysCsv; // write every player's skill on every key as CSV here and end
    bool Keyboard = false; // show the on-screen keyboard (kept for the next start too)
    bool Train = false;    // open the training window over the game at start
    // The keyboard layout to show and teach instead of the desktop's: an XKB layout name,
    // with a variant in parentheses ("de(nodeadkeys)"); empty: the desktop's own.
    std::string Layout;
    std::string LayoutVariant;
};

struct ParsedCommandLine {
    // Set when the program is to end at once, with this exit status, after printing Output
    // (--help and --version, to standard output) or Error (to standard error).
    std::optional<int> ExitCode;
    QString Output;
    QString Error;
    CommandLine Options;
};

// `arguments` as main() receives them, the program's name first.
ParsedCommandLine ParseCommandLine(const QStringList& arguments);

// The longest player name, in characters as the player sees them (a letter with its accents
// is one).
inline constexpr int kMaxPlayerName = 64;

// A player's name as the records file it: surrounding white space trimmed and composed (NFC),
// so that "José" typed with a combining accent is the same player as "José" typed with the
// accented key. Case stays as typed: "Anna" and "anna" are two players, as their records have
// always been.
QString NormalisedPlayerName(const QString& name);
// The name as NormalisedPlayerName gives it, or nothing for an empty one, one longer than
// kMaxPlayerName or one holding a control character or a line break.
std::optional<QString> PlayerName(const QString& name);

} // namespace keyfall
