#pragma once
// "Keyfall — Allenamento": the player picks what falls in the games started with VIA: the key
// sets of the options window (as the game has always played), the Italian accented letters, a
// row of their own keyboard, or characters of their own, checked against that keyboard. A set
// the keyboard cannot type is refused in plain Italian and the window stays open.

#include "teach/Training.h"

#include <QDialog>

#include <array>

class QLabel;
class QLineEdit;
class QRadioButton;

namespace keyfall {

class TrainingWindow : public QDialog {
    Q_OBJECT
public:
    // `keymap` may be null (the layout could not be read): then only the options window's key
    // sets can be chosen.
    TrainingWindow(const teach::TrainingChoice& current, const teach::Keymap* keymap, QWidget* parent = nullptr);

    // The choice as the player left it (only meaningful after the window was accepted).
    teach::TrainingChoice Choice() const;
    // The refusal shown, or empty.
    QString Problem() const;

    QRadioButton* option(teach::Training kind) const { return m_options.at(static_cast<std::size_t>(kind)); }
    QLineEdit* ownCharacters() const { return m_own; }

    // Checks the choice, and closes the window with it when the keyboard can type it.
    void Use();

private:
    const teach::Keymap* m_keymap;
    std::array<QRadioButton*, 6> m_options{};
    QLineEdit* m_own = nullptr;
    QLabel* m_problem = nullptr;
};

} // namespace keyfall
