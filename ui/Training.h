#pragma once
// The training choice beside the game: kept per user in the settings file's group
// [Allenamento] (Scelta, Caratteri), applied to the game through its character seam, named in
// the caption under the title while it is not the options window's key sets, and changed in
// the training window, which F4 opens between games (a key that types nothing).

#include "settings/Settings.h"
#include "teach/Training.h"

#include <QObject>
#include <QString>

#include <memory>

namespace keyfall {

class GameWindow;
class KeymapHolder;

// It must go before the window it works with does (it reads the window as it goes).
class TrainingControl : public QObject {
    Q_OBJECT
public:
    TrainingControl(GameWindow& window, SettingsStore& store, KeymapHolder& keymap);
    ~TrainingControl() override;

    const teach::TrainingChoice& Choice() const { return m_choice; }
    // Applies a choice to the next games and keeps it; one the keyboard cannot type leaves the
    // options window's key sets in force and returns false.
    bool Choose(const teach::TrainingChoice& choice);
    // Opens the training window (not while a game runs) and applies what the player chose.
    void Open();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Apply(const teach::TrainingChoice& choice);

    GameWindow& m_window;
    SettingsStore& m_store;
    KeymapHolder& m_keymap;
    teach::TrainingChoice m_choice;
    std::unique_ptr<teach::UniformDraw> m_draw;
    QString m_caption; // the caption under the title as the layout gives it
    bool m_open = false;
};

} // namespace keyfall
