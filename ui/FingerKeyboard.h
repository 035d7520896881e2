#pragma once
// The player's keyboard on screen, in the margin below the panel: every key of the block in
// its finger's colour, with the finger's number (1 thumb … 5 little finger) and a bar under
// the home keys' bumps, so that the colours are never the only cue. The key that types the
// lowest falling character is lit, and so is the modifier it needs (the Shift of the other
// hand, AltGr). It repaints only the keys whose light changes.

#include "game/FrmMain.h"
#include "teach/Keymap.h"

#include <QWidget>

#include <optional>
#include <string>

namespace keyfall {

class FingerKeyboard : public QWidget {
    Q_OBJECT
public:
    // Reads the letters of `form` and the keys of `keymap`; both outlive the widget.
    FingerKeyboard(const teach::Keymap& keymap, const FrmMain& form, QWidget* parent);

    // Follows the game: lights the key of the lowest falling character (none when nothing
    // falls, or when the keyboard cannot type it). Cheap when nothing changed.
    void Refresh();

    // What is lit now: the key's XKB name (empty for none) and the modifiers.
    const std::string& litKey() const { return m_litKey; }
    teach::Modifiers litModifiers() const { return m_litModifiers; }

    // Where a key is drawn, in widget coordinates; the modifiers are "LFSH", "RTSH" and
    // "RALT", as XKB names them. An empty rectangle for a key that is not drawn.
    QRect KeyRect(const std::string& name) const;

    // The colour of a finger's keys.
    static QColor FingerColour(teach::Finger finger);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // One key as drawn: its place in key widths and rows, its caption, its finger.
    struct Cap {
        std::string name;
        QRectF place; // in key units: x in key widths, y in rows
        QString caption;
        teach::Finger finger;
        bool bump;
    };
    void BuildCaps();
    QRectF Unit() const; // one key width and one row, in pixels, and the block's origin
    void UpdateKey(const std::string& name);
    void Light(const std::string& key, teach::Modifiers modifiers);

    const teach::Keymap& m_keymap;
    const FrmMain& m_form;
    std::vector<Cap> m_caps;
    double m_columns = 15; // the widest row, in key widths
    std::string m_litKey;
    teach::Modifiers m_litModifiers = teach::Modifiers::None;
    std::string m_litShift;       // "LFSH", "RTSH" or empty
    std::string m_shownCharacter; // the character whose key is lit
};

} // namespace keyfall
