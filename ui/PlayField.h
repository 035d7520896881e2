#pragma once
// The playing field: one painted widget that draws the night picture and, from the game's
// control state, the explosions, letters, stars, message, score labels and key echo.
// Painting one widget is cheaper than moving dozens of child widgets on every letter tick,
// and it redraws only the rectangles that the game's changes touch: a letter that moves
// costs its old and new place, not the whole field.

#include "game/FrmMain.h"

#include <QFont>
#include <QFrame>
#include <QPen>
#include <QPixmap>
#include <QStaticText>

#include <array>
#include <string>

namespace keyfall {

class PlayField : public QFrame {
    Q_OBJECT
public:
    PlayField(const FrmMain& form, QWidget* parent);
    // Schedules a repaint of the old and new places of what `changes` names.
    void Invalidate(const ChangeSet& changes);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // A label as the field draws it: its text, laid out once and kept from one paint to the
    // next, and where it was last drawn.
    struct DrawnLabel {
        std::string caption;
        QStaticText text;
        QRectF ink; // the text's pixels, relative to the label's top-left corner
        QRect drawn;
    };
    void Track(DrawnLabel& drawn, const Label& label, const QFont& font);
    void TrackImage(QRect& drawn, QRect now);
    void AddDirty(const QRect& rect);
    QRect ExplosionRect(const Image& image) const;
    QRect StarRect(const Image& image) const;
    const QPixmap& Background(qreal ratio);
    // Draws what lies in `part` (widget coordinates) of the field; the painter is clipped to it.
    void PaintPart(QPainter& painter, const QRect& part, const QPixmap& background) const;
    // Draws the label's text if it reaches into `part`.
    void DrawLabel(QPainter& painter, const DrawnLabel& drawn, const Label& label, const QRect& part, const QFont& font,
                   const QPen& pen) const;

    const FrmMain& m_form;
    QPixmap m_background;
    QPixmap m_scaledBackground; // the picture at the screen's pixel ratio, where that is not 1
    QPixmap m_star;
    std::array<QPixmap, LastExplosionFrame - FirstExplosionFrame + 1> m_explosions;
    QFont m_letterFont;
    QFont m_messageFont;
    QFont m_scoreFont;
    QFont m_pressFont;
    QPen m_letterPen;
    QPen m_messagePen;
    QPen m_scorePen;
    QPen m_pressPen;

    std::array<DrawnLabel, kSlots> m_letters;
    std::array<DrawnLabel, kSlots> m_scores;
    std::array<QRect, kSlots> m_explosionRects;
    std::array<QRect, kSlots> m_starRects;
    DrawnLabel m_message;
    DrawnLabel m_press;
    mutable const QFont* m_painterFont = nullptr; // the font the painter holds during a paint
    std::array<QRect, 4> m_dirty;                 // what the next paint must cover, in a few rectangles
};

} // namespace keyfall
