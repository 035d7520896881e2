#pragma once
// The training choice beside the game: kept per user in the settings file's group
// [Allenamento] (Scelta, Caratteri, Tappa), applied to the game through its character seam,
// named in the caption under the title while it is not the options window's key sets, and
// changed in the training window, which F4 opens between games (a key that types nothing).
// On the course it follows the records: a game that passes its stage is announced under the
// end message and the next stage is the one played next; "Tasti deboli" draws again from the
// skills after every game.

#include "settings/Settings.h"
#include "teach/Course.h"
#include "teach/Training.h"
#include "ui/TrainingWindow.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace keyfall {

class GameRecords;
class GameWindow;
class KeymapHolder;

// It must go before the window it works with does (it reads the window as it goes), and
// before the records it listens to.
class TrainingControl : public QObject {
    Q_OBJECT
public:
    // `records` may be null: then the course starts at its first stage and nothing is passed.
    TrainingControl(GameWindow& window, SettingsStore& store, KeymapHolder& keymap, GameRecords* records = nullptr);
    ~TrainingControl() override;

    const teach::TrainingChoice& Choice() const { return m_choice; }
    // Applies a choice to the next games and keeps it; one that cannot be played (the keyboard
    // cannot type it, a stage not reached) leaves the options window's key sets in force and
    // returns false.
    bool Choose(const teach::TrainingChoice& choice);
    // Opens the training window (not while a game runs) and applies what the player chose.
    void Open();

    // What the records say of the player's course, as last read or told.
    const CourseProgress& Progress() const { return m_progress; }
    // The course of the player's keyboard, or null when the keyboard cannot be read.
    const teach::Course* Course();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Apply(const teach::TrainingChoice& choice);
    // The skills and stages reached from the records; with `withRecords`, the best score per
    // key set too, for the training window.
    void ReadProgress(bool withRecords = false);
    void Saved(int stagesPassed, int reached);
    void Announce(const QString& text);
    // The keys of the stages reached, or the whole course once every stage is passed.
    std::u32string ReachedCharacters();

    GameWindow& m_window;
    SettingsStore& m_store;
    KeymapHolder& m_keymap;
    GameRecords* m_records;
    teach::TrainingChoice m_choice;
    std::unique_ptr<CharacterSource> m_draw;
    std::optional<teach::Course> m_course;
    bool m_courseRead = false;
    CourseProgress m_progress;
    bool m_progressRead = false;
    QString m_caption; // the caption under the title as the layout gives it
    bool m_open = false;
};

} // namespace keyfall
