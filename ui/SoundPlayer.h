#pragma once
// Plays the six cue files. Each is loaded once at start-up; a file that is missing or
// cannot be decoded stays silent and is reported once on standard error, never to the player.

#include "game/Host.h"

#include <QSoundEffect>
#include <QString>

#include <array>
#include <memory>

namespace keyfall {

class SoundPlayer : public CuePlayer {
public:
    // Looks for the files in `directories`, in order; the first that has a file wins.
    explicit SoundPlayer(const QStringList& directories);
    void PlayCue(Cue cue) override;

    // The folders searched by default: beside the executable, then ../share/keyfall.
    static QStringList DefaultDirectories();

private:
    std::array<std::unique_ptr<QSoundEffect>, 6> m_effects;
};

} // namespace keyfall
