#include "ui/Records.h"

#include "ui/Log.h"

#include <QDateTime>
#include <QDir>
#include <QMetaObject>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

namespace keyfall {

QString RecordsPath()
{
    // GenericDataLocation is $XDG_DATA_HOME, or ~/.local/share when it is unset.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(base).filePath(QStringLiteral("Keyfall/keyfall.sqlite"));
}

QString DefaultPlayer()
{
    if (const passwd* user = getpwuid(getuid()); user && user->pw_name && *user->pw_name)
        return QString::fromLocal8Bit(user->pw_name);
    const QString name = qEnvironmentVariable("USER");
    return name.isEmpty() ? QStringLiteral("giocatore") : name;
}

std::string FileStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd'T'HHmmss")).toStdString();
}

GameRecords::GameRecords(const QString& path, const QString& player, QObject* parent)
    : QObject(parent), m_path(path), m_player(player),
      m_recorder(player.toStdString(), m_clock, [this](records::GameRecord game) { m_writer->Write(std::move(game)); })
{
    records::RecordStore::Options options;
    options.stamp = FileStamp();
    // The writer's thread ends before this object does (the writer is destroyed first), and a
    // queued call to an object that is gone is dropped.
    m_writer = std::make_unique<records::RecordWriter>(
        path.toStdString(), options,
        [this](const records::GameRecord&, const records::SaveResult& result) {
            QMetaObject::invokeMethod(
                this,
                [this, newRecord = result.newRecord, skills = result.skills, passed = result.stagesPassed,
                 reached = result.stageReached.value_or(-1)] {
                    if (newRecord)
                        emit NewRecord();
                    m_skills = skills;
                    emit Saved(passed, reached);
                },
                Qt::QueuedConnection);
        },
        [](const std::string& line) { qCWarning(lcRecords, "records: %s", line.c_str()); });
}

GameRecords::~GameRecords() = default;

} // namespace keyfall
