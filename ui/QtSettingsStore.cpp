#include "ui/QtSettingsStore.h"

#include <QLockFile>
#include <QSettings>

#include <cstdio>

namespace keyfall {
namespace {

QSettings OpenFile()
{
    return {QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Keyfall"), QStringLiteral("Keyfall")};
}

QString KeyOf(std::string_view section, std::string_view name)
{
    return QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size())) + QLatin1Char('/')
           + QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

} // namespace

std::string QtSettingsStore::Get(std::string_view section, std::string_view name, std::string_view fallback) const
{
    const QSettings file = OpenFile();
    const QVariant value = file.value(KeyOf(section, name));
    // A value QSettings cannot give as one text (a list such as "1, 2", say) reads as
    // empty, which the loader treats as unreadable and replaces by the default.
    if (!value.isValid())
        return std::string(fallback);
    return value.toString().toStdString();
}

void QtSettingsStore::Set(std::string_view section, std::string_view name, std::string_view text)
{
    m_pending.insert(KeyOf(section, name), QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

bool QtSettingsStore::Sync()
{
    // QSettings guards its save with a lock file. A program killed between creating that
    // file and writing its owner into it leaves it empty; QSettings would then wait for it
    // to age 30 seconds, freezing the window. A lock nobody has signed is such a leftover.
    QLockFile leftover(FilePath() + QStringLiteral(".lock"));
    qint64 owner = 0;
    QString host;
    QString program;
    if (!leftover.tryLock(0) && leftover.error() == QLockFile::LockFailedError
        && !leftover.getLockInfo(&owner, &host, &program))
        leftover.removeStaleLockFile();
    leftover.unlock();

    QSettings file = OpenFile();
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
        file.setValue(it.key(), it.value());
    m_pending.clear();
    file.sync();
    if (file.status() != QSettings::NoError) {
        std::fprintf(stderr, "keyfall: could not save the settings to %s\n", qPrintable(file.fileName()));
        return false;
    }
    return true;
}

QString QtSettingsStore::FilePath()
{
    return OpenFile().fileName();
}

} // namespace keyfall
