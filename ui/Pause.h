#pragma once
// Pausing a game: the Pause key or F5 (keys that type nothing) stops every timer of a running
// game and dims the field under "Pausa — premi Pausa per continuare"; the same keys go on.
// While paused the keys typed in the game window reach no handler, so they cost nothing, and
// the ticks that time the player's hits do not advance. Nothing pauses by itself: losing the
// focus or opening the options window changes nothing. A game that ends while paused (DA CAPO,
// ESCI) takes the pause with it.

#include <QObject>
#include <QWidget>

namespace keyfall {

class GameWindow;

// The dimmed field and its line, laid over the field while the game is paused.
class PauseOverlay : public QWidget {
    Q_OBJECT
public:
    explicit PauseOverlay(QWidget* field);
    static QString Text();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// It must go before the window it works with does (it reads the window as it goes).
class PauseControl : public QObject {
    Q_OBJECT
public:
    // Watches every key event of the application for the game window's pause keys.
    explicit PauseControl(GameWindow& window);
    ~PauseControl() override;

    bool Paused() const { return m_paused; }
    // Pauses a running game, or goes on with a paused one.
    void Toggle();

signals:
    void PausedChanged(bool paused);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetPaused(bool paused);
    // A click of DA CAPO or a finished game ends the pause along with the game.
    void FollowGame();

    GameWindow& m_window;
    PauseOverlay* m_overlay;
    bool m_paused = false;
};

} // namespace keyfall
