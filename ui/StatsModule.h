#pragma once
// The statistics window and Qt Charts, which only it uses, live in a module of their own
// (keyfall-stats.so) that the game loads the first time the window opens: a player who never
// opens it never has Qt Charts and its OpenGL libraries loaded, relocated and resident.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

namespace keyfall {

struct StatsRequest {
    QString recordsPath;
    QString player;
    // Null: the window is the program's only one and runs the event loop until it closes
    // (keyfall --stats). Otherwise the window is modal over it.
    QWidget* parent = nullptr;
    // Offered as "Allenamento…" when set.
    std::function<void()> openTraining;
};

// What the module exports under kShowStatsSymbol: shows the window, returns when it has closed
// with the event loop's status (or the dialog's result over a parent).
using ShowStatsFunction = int (*)(const StatsRequest&);
inline constexpr char kShowStatsSymbol[] = "keyfall_show_stats";
// And the version of the game it was built with: a module of another version is not used, since
// the request it expects may differ.
using StatsVersionFunction = const char* (*)();
inline constexpr char kStatsVersionSymbol[] = "keyfall_stats_version";

// Where the module is looked for, in order: beside the executable (a build tree), then in the
// private library folder under the prefix the executable was installed into.
QStringList StatsModuleFiles();

// Loads the module from the first of `files` that loads (once; it stays loaded) and shows the
// window. Nothing when no file loads; then `why` says why, naming each file tried.
std::optional<int> ShowStats(const StatsRequest& request, const QStringList& files, QString* why);

// ShowStats from StatsModuleFiles(); a module that does not load is one line, and a message
// over the parent window, if any.
std::optional<int> OpenStats(const StatsRequest& request);

} // namespace keyfall
