#pragma once
// Plays the six cue files. Each is read once at start-up; a file that is missing or cannot
// be decoded stays silent and is reported once on standard error, never to the player.
// Every cue gets an audio stream of its own, so cues overlap instead of cutting each other
// off, and a stream is closed only well after its last sample: closing it as soon as the
// last sample has been handed over drops what the sound server still holds.

#include "game/Host.h"
#include "ui/WaveFile.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QByteArray>
#include <QStringList>

#include <array>
#include <deque>
#include <memory>

class QAudioSink;
class QBuffer;

namespace keyfall {

class SoundPlayer : public CuePlayer {
public:
    // Streams beyond this many close the oldest: a burst of keys stays a burst, not a roar.
    static constexpr std::size_t kMaxStreams = 12;

    // Looks for the files in `directories`, in order; the first that has a file wins.
    explicit SoundPlayer(const QStringList& directories);
    ~SoundPlayer() override;
    void PlayCue(Cue cue) override;

    // The folders searched by default: beside the executable, then ../share/keyfall.
    static QStringList DefaultDirectories();

private:
    struct Stream;
    void Close(Stream* stream);

    std::array<QByteArray, 6> m_cues; // 16-bit mono PCM at kMixRate; empty: silent
    QAudioDevice m_device;
    QAudioFormat m_format;
    std::deque<std::unique_ptr<Stream>> m_streams;
};

} // namespace keyfall
