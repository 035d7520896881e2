#include "ui/SoundPlayer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <cstdio>

namespace keyfall {
namespace {

constexpr std::array kCues{Cue::Explode, Cue::LaserFire, Cue::Miss, Cue::Blip, Cue::Sound24, Cue::Sound25};

} // namespace

QStringList SoundPlayer::DefaultDirectories()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    return {exeDir, QDir::cleanPath(exeDir + QStringLiteral("/../share/keyfall"))};
}

SoundPlayer::SoundPlayer(const QStringList& directories)
{
    for (std::size_t i = 0; i < kCues.size(); ++i) {
        const auto name = CueFileName(kCues[i]);
        const QString fileName = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
        QString path;
        for (const QString& dir : directories) {
            const QFileInfo candidate(QDir(dir), fileName);
            if (candidate.isFile()) {
                path = candidate.absoluteFilePath();
                break;
            }
        }
        if (path.isEmpty()) {
            std::fprintf(stderr, "keyfall: sound %s is missing; that cue stays silent\n", qPrintable(fileName));
            continue;
        }
        auto effect = std::make_unique<QSoundEffect>();
        QObject::connect(effect.get(), &QSoundEffect::statusChanged, effect.get(), [e = effect.get(), path] {
            if (e->status() == QSoundEffect::Error)
                std::fprintf(stderr, "keyfall: sound %s cannot be played; that cue stays silent\n", qPrintable(path));
        });
        effect->setSource(QUrl::fromLocalFile(path));
        m_effects[i] = std::move(effect);
    }
}

void SoundPlayer::PlayCue(Cue cue)
{
    const auto& effect = m_effects[static_cast<std::size_t>(cue)];
    if (effect && effect->status() != QSoundEffect::Error)
        effect->play();
}

} // namespace keyfall
