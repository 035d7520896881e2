#pragma once
// Plays the six cue files. Each is read once at start-up; a file that is missing, too big or
// cannot be decoded stays silent and is reported once on standard error, never to the player.
// Every cue gets a playback of its own, so cues overlap instead of cutting each other off,
// and each plays to its last sample.

#include "game/Host.h"
#include "ui/AudioOutput.h"

#include <QStringList>

#include <array>
#include <deque>
#include <memory>

namespace keyfall {

class SoundPlayer : public CuePlayer {
public:
    // Playbacks beyond this many close the oldest: a burst of keys stays a burst, not a roar.
    static constexpr std::size_t kMaxPlaybacks = 12;

    // Looks for the files in `directories`, in order; the first that has a file wins. Plays
    // through the sound server.
    explicit SoundPlayer(const QStringList& directories);
    SoundPlayer(const QStringList& directories, std::unique_ptr<AudioOutput> output);
    ~SoundPlayer() override;
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    void PlayCue(Cue cue) override;

    // The folders searched by default: beside the executable, then ../share/keyfall.
    static QStringList DefaultDirectories();

    // Playbacks open now, finished ones not yet closed included.
    std::size_t OpenPlaybacks() const { return m_playbacks.size(); }

private:
    void CloseFinished();
    void CloseOldest();

    std::array<std::shared_ptr<const CueSound>, 6> m_cues; // null: silent
    std::unique_ptr<AudioOutput> m_output;
    std::deque<std::unique_ptr<Playback>> m_playbacks;
    bool m_busy = false;
};

} // namespace keyfall
