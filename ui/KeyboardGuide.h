#pragma once
// The on-screen keyboard beside the game: F3 (a key that types nothing) shows or hides it, the
// choice is kept per user in the settings file's own group [Tastiera] (Mostra=true/false), and
// the keyboard is laid in the margin below the panel, as wide as the field. Where the margin is
// too low for legible keys (a small screen, the game's own window) it stays hidden and says so
// through Hidden(); the specified scene never moves or shrinks for it.
// The keyboard's layout is read only when it is first shown.

#include "game/Controls.h"
#include "settings/Settings.h"

#include <QObject>
#include <QString>

namespace keyfall {

class FingerKeyboard;
class GameWindow;
class KeymapHolder;

// It must go before the window it works with does (it reads the window as it goes).
class KeyboardGuide : public QObject {
    Q_OBJECT
public:
    // `store` keeps the choice; `keymap` reads the player's layout when it is first needed.
    KeyboardGuide(GameWindow& window, SettingsStore& store, KeymapHolder& keymap);
    ~KeyboardGuide() override;

    // The player asked for the keyboard (F3, or --keyboard); it shows when there is room.
    bool Wanted() const { return m_wanted; }
    void SetWanted(bool wanted);
    // The keyboard as shown now, or null.
    FingerKeyboard* keyboard() const { return m_keyboard; }
    // Why a wanted keyboard is not shown ("no room below the panel", an unreadable layout), or
    // empty.
    const QString& Hidden() const { return m_hidden; }

    // The least height of the keyboard, in pixels: below it the keys are not legible.
    static constexpr int kMinimumHeight = 70;

signals:
    void Changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Place();

    GameWindow& m_window;
    SettingsStore& m_store;
    KeymapHolder& m_keymap;
    FingerKeyboard* m_keyboard = nullptr;
    bool m_wanted = false;
    QString m_hidden;
};

} // namespace keyfall
