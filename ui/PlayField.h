#pragma once
// The playing field: one painted widget that draws the night picture and, from the game's
// control state, the explosions, letters, stars, message, score labels and key echo.
// Painting one widget is cheaper than moving dozens of child widgets on every letter tick,
// and it redraws only the rectangles that the game's changes touch: a letter that moves
// costs its old and new place, not the whole field.

#include "game/FrmMain.h"
#include "ui/Metrics.h"

#include <QFont>
#include <QFrame>
#include <QPen>
#include <QPixmap>
#include <QRegion>
#include <QStaticText>
#include <QString>

#include <array>
#include <map>
#include <string>
#include <utility>

namespace keyfall {

// When the field repaints what changed: with the next round of the event loop, or before the
// call returns.
enum class Repaint { Later, Now };

class PlayField : public QFrame {
    Q_OBJECT
public:
    PlayField(const FrmMain& form, QWidget* parent);
    // Compares the game's controls with what the field last drew and repaints the old and new
    // places of whatever differs: the one way a change of the game reaches the screen.
    void Refresh(Repaint when = Repaint::Later);
    // Repaints the whole field (it moved, or the scene was laid out again).
    void RepaintAll();
    // Draws the field at this scale from now on; the whole field is repainted.
    void SetMetrics(const Metrics& metrics);
    // A line of our own under the message (a new personal record), or empty for none.
    void SetRecordText(const QString& text);
    const QString& recordText() const { return m_recordText; }
    // Where that line is drawn, in the field's coordinates.
    QRect RecordRect() const;
    // How many captions the field has laid out since it was made, for the tests: a caption it
    // has drawn before in the same font is taken from what it kept.
    std::size_t LayoutsMade() const { return m_layoutsMade; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // A caption laid out in one of the field's fonts.
    struct Layout {
        QStaticText text;
        QRectF ink; // the text's pixels, relative to the label's top-left corner
    };
    // A label as the field draws it: its text, laid out once and kept from one paint to the
    // next, and where it was last drawn.
    struct DrawnLabel {
        std::string caption;
        Layout layout;
        QRect drawn;
    };
    // The caption laid out in `font`, one of the fonts below. Laying a text out costs a tenth of
    // a millisecond or more, and the same few captions come back all the time: the echo of every
    // key typed, the letters of the key set, the scores.
    const Layout& LaidOut(const std::string& caption, const QFont& font);
    // Each returns whether the drawing differs from the last one and was marked for repaint.
    bool Track(DrawnLabel& drawn, const Label& label, const QFont& font);
    // Where a label's text starts, in field coordinates: its top on a whole device pixel.
    QPointF Origin(const Label& label) const;
    bool TrackImage(QRect& drawn, QRect now, bool contentChanged);
    void AddDirty(const QRect& rect);
    QRect ExplosionRect(const Image& image);
    QRect StarRect(const Image& image);
    // The whole pixels that a drawing inside `area` (field coordinates) may touch, in widget
    // coordinates.
    QRect Covering(const QRectF& area) const;
    // Marks the old and new places of the record line.
    void TrackRecord(bool textChanged);
    // Repaints what AddDirty gathered.
    void FlushDirty(Repaint when = Repaint::Later);
    // The pictures at the scene's scale and the screen's pixel ratio, resized once per scale
    // and ratio: copied as they are at every paint, they look the same whichever part of them
    // a repaint covers.
    void ScalePictures(qreal ratio);
    // Draws what lies in `part` (widget coordinates) of the field; the painter is clipped to it.
    void PaintPart(QPainter& painter, const QRect& part) const;
    // Draws the label's text if it reaches into `part`.
    void DrawLabel(QPainter& painter, const DrawnLabel& drawn, const Label& label, const QRect& part, const QFont& font,
                   const QPen& pen) const;

    const FrmMain& m_form;
    Metrics m_metrics;
    QPixmap m_background;
    QPixmap m_star;
    std::array<QPixmap, LastExplosionFrame - FirstExplosionFrame + 1> m_explosions;
    qreal m_scaledRatio = 0; // the pixel ratio of the pictures below; 0 when they are to be made
    QPixmap m_scaledBackground;
    QPixmap m_scaledStar;
    std::array<QPixmap, LastExplosionFrame - FirstExplosionFrame + 1> m_scaledExplosions;
    QFont m_letterFont;
    QFont m_messageFont;
    QFont m_scoreFont;
    QFont m_pressFont;
    QFont m_recordFont;
    QString m_recordText;
    QPen m_letterPen;
    QPen m_messagePen;
    QPen m_scorePen;
    QPen m_pressPen;

    // The layouts made so far, by font and caption; dropped with the fonts, and all at once
    // when there are more than kKeptLayouts.
    static constexpr std::size_t kKeptLayouts = 512;
    std::map<std::pair<const QFont*, std::string>, Layout> m_layouts;
    std::size_t m_layoutsMade = 0;
    std::array<DrawnLabel, kSlots> m_letters;
    std::array<DrawnLabel, kSlots> m_scores;
    std::array<QRect, kSlots> m_explosionRects;
    std::array<int, kSlots> m_explosionFrames{};
    std::array<QRect, kSlots> m_starRects;
    DrawnLabel m_message;
    DrawnLabel m_press;
    QRect m_recordDrawn;
    mutable const QFont* m_painterFont = nullptr; // the font the painter holds during a paint
    // What the next paint must cover, as rectangles that do not overlap, and what the paint
    // under way was asked to cover.
    std::array<QRect, 32> m_dirty;
    std::size_t m_dirtyCount = 0;
    std::array<QRect, 32> m_painting;
    std::size_t m_paintingCount = 0;
    QRegion m_paintingRegion;
};

} // namespace keyfall
