#pragma once
// The playing field: one painted widget that draws the night picture and, from the game's
// control state, the explosions, letters, stars, message, score labels and key echo.
// Painting one widget is cheaper than moving dozens of child widgets on every letter tick.

#include "game/FrmMain.h"
#include "ui/Metrics.h"

#include <QFont>
#include <QFrame>
#include <QPixmap>
#include <QString>

#include <array>

namespace keyfall {

class PlayField : public QFrame {
    Q_OBJECT
public:
    PlayField(const FrmMain& form, QWidget* parent);
    // Repaints when anything drawn in the field has changed since the last call.
    void Refresh();
    // Draws the field at this scale from now on.
    void SetMetrics(const Metrics& metrics);
    // A line of our own under the message (a new personal record), or empty for none.
    void SetRecordText(const QString& text);
    const QString& recordText() const { return m_recordText; }
    // Where that line is drawn, in the field's coordinates.
    QRect RecordRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DrawLabel(QPainter& painter, const Label& label, const QFont& font, const QColor& color) const;

    struct Drawn {
        std::array<Label, kSlots> letters;
        std::array<Image, kSlots> explosions;
        std::array<Image, kSlots> stars;
        std::array<Label, kSlots> scores;
        Label message;
        Label press;
        bool operator==(const Drawn&) const = default;
    };
    Drawn Capture() const;

    const FrmMain& m_form;
    Metrics m_metrics;
    Drawn m_drawn;
    QPixmap m_background;
    QPixmap m_star;
    std::array<QPixmap, LastExplosionFrame - FirstExplosionFrame + 1> m_explosions;
    QFont m_letterFont;
    QFont m_messageFont;
    QFont m_scoreFont;
    QFont m_pressFont;
    QFont m_recordFont;
    QString m_recordText;
};

} // namespace keyfall
