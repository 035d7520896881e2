// The statistics module's entry point and its version (see ui/StatsModule.h).

#include "ui/StatsModule.h"
#include "ui/StatsWindow.h"

#include <QApplication>

#include <type_traits>

extern "C" __attribute__((visibility("default"))) int keyfall_show_stats(const keyfall::StatsRequest& request)
{
    keyfall::StatsWindow stats(request.recordsPath, request.player, request.parent);
    if (request.openTraining)
        stats.SetTrainingOpener(request.openTraining);
    if (request.parent)
        return stats.exec();
    stats.show();
    return QApplication::exec();
}

extern "C" __attribute__((visibility("default"))) const char* keyfall_stats_version()
{
    return KEYFALL_VERSION;
}

static_assert(std::is_same_v<decltype(&keyfall_stats_version), keyfall::StatsVersionFunction>,
              "the version's type as its callers expect it");
static_assert(std::is_same_v<decltype(&keyfall_show_stats), keyfall::ShowStatsFunction>,
              "the entry point and its callers agree on its type");
