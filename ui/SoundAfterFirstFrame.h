#pragma once
// The cues' sound, opened once the window has drawn its first frame: reading the six files
// and reaching the sound server are start-up work the player would otherwise wait for before
// seeing anything. Cues asked for before then wait, in order, and play once it is open.

#include "game/Host.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace keyfall {

class SoundAfterFirstFrame : public QObject, public CuePlayer {
public:
    using Opener = std::function<std::unique_ptr<CuePlayer>()>;

    // Cues asked for before the sound opens; beyond these the oldest go, as the cue player
    // itself closes its oldest playbacks.
    static constexpr std::size_t kMostWaiting = 12;
    // Should the window not be painted by then (it opened where nothing shows it), the sound
    // opens all the same.
    static constexpr std::chrono::milliseconds kLatest{1000};

    // `open` makes the real player; it runs once, when OpenAfterFirstPaint says.
    explicit SoundAfterFirstFrame(Opener open, std::chrono::milliseconds latest = kLatest);

    // Opens the sound on the event loop after `window` is first painted, or `latest` after
    // this call, whichever comes first.
    void OpenAfterFirstPaint(QWidget& window);

    void PlayCue(Cue cue) override;

    bool IsOpen() const { return m_player != nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Open();

    Opener m_open;
    std::chrono::milliseconds m_latest;
    QPointer<QWidget> m_window;
    std::unique_ptr<CuePlayer> m_player;
    std::vector<Cue> m_waiting;
};

} // namespace keyfall
