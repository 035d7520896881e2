#include "ui/StatsModule.h"

#include "ui/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <QMessageBox>

#include <memory>

namespace keyfall {

QStringList StatsModuleFiles()
{
    const QDir here(QCoreApplication::applicationDirPath());
    const QString name = QStringLiteral("keyfall-stats.so");
    return {here.filePath(name), here.filePath(QStringLiteral("../" KEYFALL_MODULE_DIR "/") + name)};
}

std::optional<int> ShowStats(const StatsRequest& request, const QStringList& files, QString* why)
{
    // One module for the program's life: its window's class and Qt Charts' own statics must
    // outlive every window it made. QLibrary's destructor leaves a library loaded.
    static std::unique_ptr<QLibrary> module;
    static ShowStatsFunction show = nullptr;
    if (!show) {
        QStringList reasons;
        for (const QString& file : files) {
            auto library = std::make_unique<QLibrary>(file);
            if (!library->load()) {
                reasons << library->errorString();
                continue;
            }
            const auto version = reinterpret_cast<StatsVersionFunction>(library->resolve(kStatsVersionSymbol));
            const auto entry = reinterpret_cast<ShowStatsFunction>(library->resolve(kShowStatsSymbol));
            if (!version || !entry) {
                reasons << QStringLiteral("%1 is not Keyfall's statistics module").arg(file);
            } else if (qstrcmp(version(), KEYFALL_VERSION) != 0) {
                reasons << QStringLiteral("%1 is of Keyfall %2, not %3")
                               .arg(file, QString::fromUtf8(version()), QStringLiteral(KEYFALL_VERSION));
            } else {
                show = entry;
                module = std::move(library);
                break;
            }
            library->unload();
        }
        if (!show) {
            if (why)
                *why = reasons.isEmpty() ? QStringLiteral("no module file to try") : reasons.join(QStringLiteral("; "));
            return std::nullopt;
        }
    }
    return show(request);
}

std::optional<int> OpenStats(const StatsRequest& request)
{
    QString why;
    const std::optional<int> status = ShowStats(request, StatsModuleFiles(), &why);
    if (!status) {
        qCCritical(lcDisplay, "the statistics window cannot open: %s", qUtf8Printable(why));
        if (request.parent)
            QMessageBox::warning(request.parent, QStringLiteral("Statistiche"),
                                 QStringLiteral("Impossibile aprire le statistiche: il file keyfall-stats.so "
                                                "manca o non si carica."));
    }
    return status;
}

} // namespace keyfall
