#pragma once
// "Keyfall — Allenamento": the player picks what falls in the games started with VIA: the key
// sets of the options window (as the game has always played), a stage of the course (the
// stages listed as passed, reached or still closed, each with its keys and the player's best),
// the weakest keys, the Italian accented letters, a row of their own keyboard, or characters
// of their own, checked against that keyboard. A set the keyboard cannot type is refused in
// plain Italian and the window stays open; a stage not reached yet is listed but cannot be
// chosen.

#include "records/Skills.h"
#include "teach/Course.h"
#include "teach/Training.h"

#include <QDialog>

#include <array>
#include <map>
#include <string>

class QLabel;
class QLineEdit;
class QRadioButton;
class QTreeWidget;

namespace keyfall {

// Where the player stands on the course, from the records.
struct CourseProgress {
    int reached = 0;      // the stage reached on this keyboard's course (all before it passed)
    int stagesPassed = 0; // the most on any course: it sets the target time
    std::map<std::string, records::KeySkill> skills;
    std::map<int, int> best; // the best total of a finished game per key set, on any level
    std::string focus;       // the weakest key of the stages reached, for "Tasti deboli"
};

class TrainingWindow : public QDialog {
    Q_OBJECT
public:
    // `keymap` and `course` may be null (the layout could not be read): then only the options
    // window's key sets can be chosen.
    TrainingWindow(const teach::TrainingChoice& current, const teach::Keymap* keymap, const teach::Course* course,
                   const CourseProgress& progress, QWidget* parent = nullptr);

    // The choice as the player left it (only meaningful after the window was accepted).
    teach::TrainingChoice Choice() const;
    // The refusal shown, or empty.
    QString Problem() const;

    QRadioButton* option(teach::Training kind) const { return m_options.at(static_cast<std::size_t>(kind)); }
    QLineEdit* ownCharacters() const { return m_own; }
    QTreeWidget* stages() const { return m_stages; }

    // Checks the choice, and closes the window with it when it can be played.
    void Use();

private:
    void AddCourse(const teach::TrainingChoice& current);

    const teach::Keymap* m_keymap;
    const teach::Course* m_course;
    CourseProgress m_progress;
    std::array<QRadioButton*, 8> m_options{};
    QLineEdit* m_own = nullptr;
    QTreeWidget* m_stages = nullptr;
    QLabel* m_problem = nullptr;
};

} // namespace keyfall
