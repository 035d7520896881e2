#pragma once
// One line at the bottom of the screen, below the panel and outside every specified control,
// naming the keys that are not characters, so that a player finds them without the manual:
// "F2 statistiche · F3 tastiera · F4 allenamento · Pausa". Where the keyboard is wanted but cannot be shown,
// the line says why. On a screen with no margin under the panel it stays hidden. It must go
// before the window and the keyboard guide do.

#include <QLabel>

namespace keyfall {

class GameWindow;
class KeyboardGuide;

class HintsLine : public QLabel {
    Q_OBJECT
public:
    HintsLine(GameWindow& window, const KeyboardGuide& guide);
    ~HintsLine() override;
    static QString Keys();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Place();

    GameWindow& m_window;
    const KeyboardGuide& m_guide;
};

} // namespace keyfall
