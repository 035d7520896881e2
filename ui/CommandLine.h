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
    QString Player; // whose games are recorded and shown; empty: the login name
    bool Stats = false; // the statistics window instead of the game
    QString ExportCsv; // write the player's games as CSV here ("-": standard output) and end
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

} // namespace keyfall
